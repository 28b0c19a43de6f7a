// Renders the game window offscreen in a chosen state and saves it as a PNG, for the README.
//   screenshot fresh out.png            a new game, first question
//   screenshot wrong-long-name out.png  a long player name, 10 to the 2 answered wrongly
#include "game/tavola.h"
#include "platform/dialogs.h"
#include "records/recordfiles.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

// The record as the game saves it: one line each, CR LF at the end.
void writeRecord(const QString &dir)
{
    const std::pair<QString, QByteArray> files[] = {{records::scoreFileName, "12\r\n"},
                                                    {records::nameFileName, "Giulia\r\n"}};
    for (const auto &[name, bytes] : files) {
        QFile f(dir + u'/' + name);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
}

void useRecordDir(const QString &dir)
{
    const QByteArray local = QFile::encodeName(dir);
    records::setWindowsDirectoryCall([local](char *buffer, std::uint32_t size) {
        if (std::uint32_t(local.size()) + 1 > size)
            return std::uint32_t(local.size() + 1);
        std::memcpy(buffer, local.constData(), size_t(local.size()) + 1);
        return std::uint32_t(local.size());
    });
}

void press(QWidget *target, Qt::Key key, const QString &text)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &up);
}

void typeAnswer(Tavola &game, const QString &digits)
{
    for (QChar c : digits)
        press(game.txtAnswer, Qt::Key(Qt::Key_0 + c.digitValue()), QString(c));
    press(game.txtAnswer, Qt::Key_Return, QStringLiteral("\r"));
}

bool prepare(Tavola &game, platform::ScriptedDialogs &dialogs, const QString &state)
{
    if (state == u"fresh") {
        dialogs.type(QStringLiteral("Anna"));
        dialogs.answer(platform::vbOK);
        game.Show();
        return true;
    }
    if (state == u"wrong-long-name") {
        dialogs.type(QStringLiteral("Massimiliano Bartolomeo"));
        dialogs.answer(platform::vbOK);
        game.Show();
        for (int i = 0; i < 5000 && (game.Base != 10 || game.Exponent != 2); ++i)
            game.cmdNext_Click();
        typeAnswer(game, QStringLiteral("99"));
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vorandi"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc != 3) {
        std::fputs("usage: screenshot fresh|wrong-long-name OUT.png\n", stderr);
        return 2;
    }
    QTemporaryDir dir;
    writeRecord(dir.path());
    useRecordDir(dir.path());
    platform::ScriptedDialogs dialogs;
    platform::setDialogService(&dialogs);
    std::uint64_t seed = 1;
    platform::setSeedSource([seed]() mutable { return seed++; });

    Tavola game;
    if (!prepare(game, dialogs, QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "screenshot: unknown state '%s'\n", argv[1]);
        return 2;
    }
    QCoreApplication::processEvents();
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (!game.window()->grab().save(out, "PNG")) {
        std::fprintf(stderr, "screenshot: cannot write %s\n", argv[2]);
        return 1;
    }
    platform::setDialogService(nullptr);
    return 0;
}
