// SPDX-License-Identifier: GPL-3.0-or-later
#include "lockwait.h"
#include "platform/dialogs.h"
#include "platform/runtime.h"
#include "platform/waiting.h"

#include <QDir>

#include <map>

namespace records {

using namespace platform;

namespace {

QString folderOf(const QString &lockPath)
{
    return QDir::toNativeSeparators(lockPath.left(lockPath.lastIndexOf(u'/')));
}

QString waitingText(const QString &lockPath, LockPurpose purpose)
{
    const QString what = purpose == LockPurpose::Reading
                             ? QStringLiteral("La partita comincia appena il record è libero.")
                             : QStringLiteral("Il tuo record sarà registrato appena il record è "
                                              "libero.");
    return QStringLiteral("Un'altra partita di Vorandi sta usando il record (cartella %1). "
                          "Aspetto che finisca. %2")
        .arg(folderOf(lockPath), what);
}

bool playerWantsToWaitMore(LockPurpose purpose)
{
    const QString ifNot = purpose == LockPurpose::Reading
                              ? QStringLiteral("Se rispondi No il gioco si chiude.")
                              : QStringLiteral("Se rispondi No il tuo record non sarà registrato.");
    return MsgBox(QStringLiteral("Il record è ancora occupato da un'altra partita di Vorandi. "
                                 "Vuoi che aspetti ancora? %1")
                      .arg(ifNot),
                  vbYesNo | vbQuestion, QStringLiteral("Record occupato")) == vbYes;
}

[[noreturn]] void giveUp(const QString &lockPath, LockPurpose purpose)
{
    const QString shown = QDir::toNativeSeparators(lockPath);
    const QString text =
        purpose == LockPurpose::Reading
            ? QStringLiteral("Non posso leggere il record: il file %1 è tenuto occupato da "
                             "un'altra partita di Vorandi. Riprova quando quella partita è "
                             "finita.")
            : QStringLiteral("Non ho potuto registrare il tuo record: il file %1 è tenuto "
                             "occupato da un'altra partita di Vorandi.");
    throw RuntimeError(errPermissionDenied, text.arg(shown));
}

} // namespace

int &locksHeldHere(const QString &dir)
{
    // Process-wide: locks belong to the process, whichever of its objects took them.
    static std::map<QString, int> held;
    return held[dir];
}

void waitForLock(const QString &lockPath, LockPurpose purpose, const std::function<bool()> &tryLock)
{
    if (tryLock())
        return;
    if (!canAsk()) {
        if (WaitWithMessage(waitingText(lockPath, purpose), tryLock, quietLockWait))
            return;
        giveUp(lockPath, purpose);
    }
    for (auto waited = std::chrono::milliseconds(0); waited < lockWaitLimit;
         waited += lockWaitRound) {
        if (WaitWithMessage(waitingText(lockPath, purpose), tryLock, lockWaitRound))
            return;
        if (waited + lockWaitRound < lockWaitLimit && !playerWantsToWaitMore(purpose))
            break;
    }
    giveUp(lockPath, purpose);
}

} // namespace records
