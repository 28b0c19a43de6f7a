// SPDX-License-Identifier: GPL-3.0-or-later
// What the game takes from the world, passed to the window when it is made: tests replace any of
// it, the program uses the real ones.
#pragma once

#include "platform/boxes.h"
#include "platform/program.h"
#include "platform/runtime.h"
#include "platform/waiting.h"
#include "records/recordfiles.h"
#include "records/systemcalls.h"

#include <QDate>

#include <functional>
#include <memory>

namespace game {

// A page can go at any moment (a reload, a closed tab, a killed browser) with no time left to save:
// there a beaten record is saved as soon as it is beaten, and again as the score grows.
#ifdef __EMSCRIPTEN__
inline constexpr bool pageMayVanish = true;
#else
inline constexpr bool pageMayVanish = false;
#endif

// Every field is set by whoever makes the window, and none has a default: the program passes
// realServices(), each test its doubles, so no test reaches a real box or clock by omission.
struct Services {
    // The message and input boxes.
    platform::DialogService *boxes = nullptr;
    // The wait, with a box on screen, for a record another game holds.
    platform::WaitService *wait = nullptr;
    // The system calls a record save makes.
    const records::SystemCalls *systemCalls = nullptr;
    // Reseeded and drawn at every question.
    std::shared_ptr<platform::RandomSource> random;
    // The record store: the call that names the record files' directory.
    records::WindowsDirectoryCall recordDirectory;
    // Ends the program: files closed, no code after it runs.
    std::function<void(int code)> end;
    // The clock's date, for the goodbye.
    std::function<QDate()> today;
    // Saves a beaten record at each right answer rather than only at the game's end.
    bool saveAsScoreGrows = pageMayVanish;
};

// Whether every service is there (a window refuses to be made without one).
bool complete(const Services &services);

// The real world: the system's boxes, wait, calls, record directory, clock and randomness.
Services realServices();

} // namespace game
