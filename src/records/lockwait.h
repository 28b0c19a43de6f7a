// SPDX-License-Identifier: GPL-3.0-or-later
// What a game does while another game holds the record's lock: it says so and waits, asks before
// giving up, and gives up only with a clear message.
#pragma once

#include "platform/runtime.h"
#include "recordservices.h"

#include <QString>

#include <chrono>
#include <functional>

namespace records {

enum class LockPurpose {
    Reading, // the start of a game: reads the pair
    Saving,  // the record check: saves a beaten record
};

// How long one wait lasts before the player is asked whether to go on waiting, and how long in
// all a game waits before it gives up.
constexpr std::chrono::milliseconds lockWaitRound = std::chrono::seconds(60);
constexpr std::chrono::milliseconds lockWaitLimit = std::chrono::minutes(10);
// The wait where no one can be asked (the program being ended from outside, no display).
constexpr std::chrono::milliseconds quietLockWait = std::chrono::seconds(5);

// The lock stayed held by another game through the short wait of a program being ended from
// outside: the record is then kept aside rather than lost.
class LockNotFree : public platform::RuntimeError {
public:
    using RuntimeError::RuntimeError;
};

// Returns once tryLock() has taken the lock; otherwise a RuntimeError saying why the record could
// not be read or saved (LockNotFree where no one could be asked).
// The player is told and asked through the services' boxes and wait; asking(true) runs before a
// question is shown and asking(false) once it is answered, so that a request for the lock made on
// the side holds nothing while the question waits for the player.
void waitForLock(const QString &lockPath, LockPurpose purpose, const RecordServices &services,
                 const std::function<bool()> &tryLock,
                 const std::function<void(bool asking)> &asking = {});

// A way out from outside (a signal, a display gone) that runs while this process itself waits for
// the same lock, in a box or asking the player, takes the lock through that wait, silently and
// for a few seconds at most: a second request of its own would only queue behind the first.
// False when no such wait is in progress; LockNotFree when the lock stays held.
bool joinWaitInProgress(const QString &lockPath);

// How many locks this process holds on the directory: a second lock of the same game is no rival
// to wait for.
int &locksHeldHere(const QString &dir);

} // namespace records
