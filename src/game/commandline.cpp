// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"
#include "platform/guide.h"

#include <QCommandLineParser>

#include <algorithm>

namespace game {

namespace {

constexpr int usageError = 2;

// Options the application object reads itself; a session manager restarts the program with
// -session, and a user may pick a platform or a style.
const QStringList toolkitOptionsWithValue = {"platform",        "platformpluginpath",
                                             "platformtheme",   "plugin",
                                             "qwindowgeometry", "qwindowtitle",
                                             "qwindowicon",     "display",
                                             "geometry",        "style",
                                             "stylesheet",      "session"};
const QStringList toolkitFlags = {"reverse", "nograb", "dograb", "sync", "widgetcount"};

QString optionLine(const QString &names, const QString &meaning)
{
    return QStringLiteral("  %1%2\n").arg(names.leftJustified(18), meaning);
}

QString helpText()
{
    const QStringList helpNames = QStringList{"-h", "--help"} + platform::systemHelpSwitches();
    return QStringLiteral("Uso: vorandi [opzioni]\n"
                          "Vorandi: esercizi sulle potenze dei numeri interi per la scuola.\n"
                          "Il gioco si apre in una finestra: si scrive il valore della potenza e "
                          "si preme Invio.\n"
                          "\n"
                          "Opzioni:\n") +
           optionLine(helpNames.join(QStringLiteral(", ")),
                      QStringLiteral("mostra questo aiuto ed esce")) +
           optionLine(QStringLiteral("-v, --version"),
                      QStringLiteral("mostra la versione ed esce")) +
           optionLine(QStringLiteral("--tastierino"),
                      QStringLiteral("mostra subito il tastierino per lo schermo a tocco")) +
           optionLine(QStringLiteral("--schermo-intero"),
                      QStringLiteral("apre il gioco grande quanto lo schermo (F11 cambia)")) +
           QStringLiteral("\nDove si trova il record e come condividerlo tra gli account: ") +
           platform::furtherReading() + u'\n';
}

bool asksForSystemHelp(const QStringList &arguments)
{
    const QStringList switches = platform::systemHelpSwitches();
    return std::any_of(arguments.cbegin() + 1, arguments.cend(),
                       [&](const QString &argument) { return switches.contains(argument); });
}

QString usageLine(const QString &problem)
{
    return QStringLiteral("vorandi: %1 (vedere: vorandi --help)\n").arg(problem);
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// One line naming what was wrong; the parser's own texts are English only.
QString describeError(const QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.unknownOptionNames().isEmpty())
        return usageLine(QStringLiteral("opzione sconosciuta: ") +
                         dashed(parser.unknownOptionNames().constFirst()));
    const QString last = arguments.size() > 1 ? arguments.constLast() : QString();
    QString name = last;
    while (name.startsWith(u'-'))
        name.remove(0, 1);
    if (toolkitOptionsWithValue.contains(name))
        return usageLine(QStringLiteral("manca il valore dell'opzione ") + last);
    return usageLine(QStringLiteral("argomenti non validi"));
}

void addToolkitOptions(QCommandLineParser &parser)
{
    for (const QString &name : toolkitOptionsWithValue) {
        QCommandLineOption option(name, QString(), QStringLiteral("valore"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString &name : toolkitFlags) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

CommandLineOutcome stop(int status, const QString &output, const QString &error = {})
{
    return {false, status, output, error};
}

} // namespace

CommandLineOutcome readCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // The toolkit's options are single-dash words (-platform), as in every Qt program.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, QString());
    const QCommandLineOption version({"v", "version"}, QString());
    parser.addOption(help);
    parser.addOption(version);
    const QCommandLineOption numberPad(QStringLiteral("tastierino"));
    const QCommandLineOption fullScreen(QStringLiteral("schermo-intero"));
    parser.addOption(numberPad);
    parser.addOption(fullScreen);
    addToolkitOptions(parser);

    if (!arguments.isEmpty() && asksForSystemHelp(arguments))
        return stop(0, helpText());
    if (!parser.parse(arguments))
        return stop(usageError, {}, describeError(parser, arguments));
    if (!parser.positionalArguments().isEmpty())
        return stop(usageError, {},
                    usageLine(QStringLiteral("argomento inatteso: ") +
                              parser.positionalArguments().constFirst()));
    if (parser.isSet(help))
        return stop(0, helpText());
    if (parser.isSet(version))
        return stop(0, QStringLiteral("vorandi " VORANDI_VERSION "\n"));
    CommandLineOutcome play;
    play.numberPad = parser.isSet(numberPad);
    play.fullScreen = parser.isSet(fullScreen);
    return play;
}

} // namespace game
