// SPDX-License-Identifier: GPL-3.0-or-later
// What a game does while another game holds the record's lock: it says so and waits, asks before
// giving up, and gives up only with a clear message.
#pragma once

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

// Returns once tryLock() has taken the lock; otherwise a RuntimeError naming the lock file and
// saying why the record could not be read or saved.
void waitForLock(const QString &lockPath, LockPurpose purpose,
                 const std::function<bool()> &tryLock);

// How many locks this process holds on the directory: a second lock of the same game is no rival
// to wait for.
int &locksHeldHere(const QString &dir);

} // namespace records
