// SPDX-License-Identifier: GPL-3.0-or-later
#include "lockwait.h"
#include "platform/boxes.h"
#include "platform/runtime.h"
#include "sharing.h"

#include <QDir>

#include <map>
#include <utility>

namespace records {

using namespace platform;

namespace {

QString waitingText(const QString &lockPath, LockPurpose purpose)
{
    const QString what = purpose == LockPurpose::Reading
                             ? QStringLiteral("La partita comincia appena il record è libero.")
                             : QStringLiteral("Il tuo record sarà registrato appena il record è "
                                              "libero.");
    return QStringLiteral("Un'altra partita di Vorandi sta usando il record (cartella %1). "
                          "Aspetto che finisca. %2")
        .arg(QDir::toNativeSeparators(directoryOf(lockPath)), what);
}

// The wait this process is in, for the ways out that run inside it.
struct WaitInProgress {
    QString lockPath;
    const std::function<bool()> *tryLock = nullptr;
};

WaitInProgress &waitInProgress()
{
    // Process-wide: signals and a display gone reach the program with no context of their own.
    static WaitInProgress current;
    return current;
}

class WaitingScope {
public:
    WaitingScope(const QString &lockPath, const std::function<bool()> *tryLock)
        : saved_(std::exchange(waitInProgress(), WaitInProgress{lockPath, tryLock}))
    {}
    ~WaitingScope() { waitInProgress() = saved_; }
    WaitingScope(const WaitingScope &) = delete;
    WaitingScope &operator=(const WaitingScope &) = delete;

private:
    WaitInProgress saved_;
};

// Tells the request for the lock that a question is on screen, for as long as it is.
class AskingScope {
public:
    explicit AskingScope(const std::function<void(bool)> &asking) : asking_(asking)
    {
        if (asking_)
            asking_(true);
    }
    ~AskingScope()
    {
        if (asking_)
            asking_(false);
    }
    AskingScope(const AskingScope &) = delete;
    AskingScope &operator=(const AskingScope &) = delete;

private:
    const std::function<void(bool)> &asking_;
};

bool playerWantsToWaitMore(DialogService &boxes, LockPurpose purpose,
                           const std::function<void(bool)> &asking)
{
    const AskingScope whileAsked(asking);
    const QString ifNot = purpose == LockPurpose::Reading
                              ? QStringLiteral("Se rispondi No il gioco si chiude.")
                              : QStringLiteral("Se rispondi No il tuo record non sarà registrato.");
    return boxes.msgBox(
               QStringLiteral("Il record è ancora occupato da un'altra partita di Vorandi. "
                              "Vuoi che aspetti ancora? %1")
                   .arg(ifNot),
               vbYesNo | vbQuestion, QStringLiteral("Record occupato")) == vbYes;
}

// Why the wait ended without the lock: the player stopped it, or the other game kept the record
// for the whole wait. The hidden lock file is nothing the player knows of: the message names the
// record's folder.
QString giveUpText(const QString &lockPath, LockPurpose purpose, bool playerStopped)
{
    const QString folder = QDir::toNativeSeparators(directoryOf(lockPath));
    if (purpose == LockPurpose::Reading)
        return playerStopped
                   ? QStringLiteral("Non ho letto il record (cartella %1): hai scelto di non "
                                    "aspettare l'altra partita di Vorandi che lo sta usando. "
                                    "Il gioco si chiude.")
                         .arg(folder)
                   : QStringLiteral("Non posso leggere il record (cartella %1): un'altra partita "
                                    "di Vorandi lo sta usando da troppo tempo. Riprova quando "
                                    "quella partita è finita.")
                         .arg(folder);
    return playerStopped
               ? QStringLiteral("Il tuo record non è stato registrato: hai scelto di non "
                                "aspettare l'altra partita di Vorandi che sta usando il record "
                                "(cartella %1).")
                     .arg(folder)
               : QStringLiteral("Il tuo record non è stato registrato: un'altra partita di "
                                "Vorandi ha tenuto occupato il record (cartella %1) per tutta "
                                "l'attesa.")
                     .arg(folder);
}

[[noreturn]] void giveUp(const QString &lockPath, LockPurpose purpose, bool playerStopped,
                         bool asked)
{
    const QString text = giveUpText(lockPath, purpose, playerStopped);
    if (!asked)
        throw LockNotFree(errPermissionDenied, text);
    throw RuntimeError(errPermissionDenied, text);
}

} // namespace

int &locksHeldHere(const QString &dir)
{
    // Process-wide: locks belong to the process, whichever of its objects took them.
    static std::map<QString, int> held;
    return held[dir];
}

void waitForLock(const QString &lockPath, LockPurpose purpose, const RecordServices &services,
                 const std::function<bool()> &tryLock, const std::function<void(bool)> &asking)
{
    if (tryLock())
        return;
    const WaitingScope waiting(lockPath, &tryLock);
    const QString text = waitingText(lockPath, purpose);
    if (!services.mayAsk) {
        if (services.wait->waitFor(text, tryLock, quietLockWait))
            return;
        giveUp(lockPath, purpose, false, false);
    }
    for (auto waited = std::chrono::milliseconds(0); waited < lockWaitLimit;
         waited += lockWaitRound) {
        if (services.wait->waitFor(text, tryLock, lockWaitRound))
            return;
        if (waited + lockWaitRound < lockWaitLimit &&
            !playerWantsToWaitMore(*services.boxes, purpose, asking)) {
            // The other game may have let go while the question was on screen.
            if (tryLock())
                return;
            giveUp(lockPath, purpose, true, true);
        }
    }
    giveUp(lockPath, purpose, false, true);
}

bool joinWaitInProgress(const QString &lockPath)
{
    const WaitInProgress current = waitInProgress();
    if (!current.tryLock || current.lockPath != lockPath)
        return false;
    // Cleared while it runs: the silent wait below is no wait for a way out to join.
    const WaitingScope none(QString(), nullptr);
    if (SilentWait().waitFor(QString(), *current.tryLock, quietLockWait))
        return true;
    throw LockNotFree(errPermissionDenied, giveUpText(lockPath, LockPurpose::Saving, false));
}

} // namespace records
