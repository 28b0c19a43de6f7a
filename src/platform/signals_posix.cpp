// SPDX-License-Identifier: GPL-3.0-or-later
#include "signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

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

// Every signal whose default is to end the program and that a program may catch, save the faults
// of the program itself (SIGSEGV and the like), after which nothing can be trusted to run, and
// SIGXFSZ: a write past the file size limit then fails with EFBIG, and the save says so.
constexpr int endingSignals[] = {SIGTERM, SIGHUP,  SIGINT,  SIGQUIT, SIGUSR1,   SIGUSR2,
                                 SIGALRM, SIGPIPE, SIGPOLL, SIGPROF, SIGVTALRM, SIGXCPU};

sigset_t endingSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : endingSignals)
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
    for (const int sig : endingSignals) {
        struct sigaction before {};
        if (::sigaction(sig, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            ::sigaction(sig, &action, nullptr);
    }
}

} // namespace platform
