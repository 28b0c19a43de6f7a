// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <iterator>
#include <pthread.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// A signal handler can reach the program only through process-wide state: this pipe's ends.
int signalPipe[2] = {-1, -1};

// Only what is safe in a signal handler: one write to the pipe.
void noteSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    (void)!::write(signalPipe[1], &byte, 1);
    errno = saved;
}

// Signals whose default action is not to end the program: ignored (SIGCHLD, SIGURG, SIGWINCH),
// continue (SIGCONT) or stop it for job control (SIGTSTP, SIGTTIN, SIGTTOU, SIGSTOP). A shell's
// Ctrl+Z and fg must keep working, and a child or a resized window is no reason to end a game.
constexpr int notEnding[] = {SIGCHLD, SIGURG,  SIGWINCH, SIGCONT,
                             SIGTSTP, SIGTTIN, SIGTTOU,  SIGSTOP};

// Signals that end the program but are left alone: SIGKILL cannot be caught; the faults of the
// program itself (SIGSEGV and the like, abort()'s SIGABRT, a debugger's SIGTRAP, seccomp's SIGSYS),
// after which nothing can be trusted to run; and SIGXFSZ, ignored instead, so that a write past
// the file size limit fails with EFBIG and the save says so.
constexpr int leftAlone[] = {SIGKILL, SIGSEGV, SIGBUS, SIGFPE, SIGILL,
                             SIGABRT, SIGTRAP, SIGSYS, SIGXFSZ};

bool listed(int sig, const auto &list)
{
    return std::find(std::begin(list), std::end(list), sig) != std::end(list);
}

// Every signal the system has, from 1 to SIGRTMAX, whose default is to end the program, but those
// left alone: the real-time signals included, whatever their number here. A number the C library
// keeps for its own threads (glibc's two below SIGRTMIN) is refused by sigaction and left out.
const std::vector<int> &endingSignals()
{
    static const std::vector<int> all = [] {
        std::vector<int> found;
        for (int sig = 1; sig <= SIGRTMAX; ++sig) {
            struct sigaction current {};
            if (!listed(sig, notEnding) && !listed(sig, leftAlone) &&
                ::sigaction(sig, nullptr, &current) == 0)
                found.push_back(sig);
        }
        return found;
    }();
    return all;
}

sigset_t endingSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : endingSignals())
        sigaddset(&set, sig);
    return set;
}

// The mask the outermost SignalsHeldBack found, put back when it ends: process-wide like the
// signals themselves; only the main thread holds them back.
int heldDepth = 0;
sigset_t maskBeforeHolding;

} // namespace

SignalsHeldBack::SignalsHeldBack()
{
    if (heldDepth++ > 0)
        return;
    const sigset_t set = endingSet();
    ::pthread_sigmask(SIG_BLOCK, &set, &maskBeforeHolding);
}

SignalsHeldBack::~SignalsHeldBack()
{
    if (--heldDepth == 0)
        ::pthread_sigmask(SIG_SETMASK, &maskBeforeHolding, nullptr);
}

void onEndingSignal(std::function<void()> handler)
{
    if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [handler = std::move(handler)] {
                         char bytes[16];
                         while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
                         }
                         handler();
                     });
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::signal(SIGXFSZ, SIG_IGN);
    for (const int sig : endingSignals()) {
        // Ignored when the program started (nohup), or handled by a library of the process: left
        // so.
        struct sigaction before {};
        if (::sigaction(sig, nullptr, &before) == 0 && !(before.sa_flags & SA_SIGINFO) &&
            before.sa_handler == SIG_DFL)
            ::sigaction(sig, &action, nullptr);
    }
}

} // namespace platform
