// SPDX-License-Identifier: GPL-3.0-or-later
// Every text the game's window shows or speaks, defined here once: the window, the tests, the
// fuzzers and the end-to-end scripts (tools/desktop.py, game_text) read them from this table, and
// one design test (tst_drill) holds them to the game's design. %1 and %2 are filled in by the
// window.
#pragma once

#include <QString>

namespace game::text {

// The start: the name asked, the greeting with it, a record beaten in the first question.
inline const QString namePrompt = QStringLiteral("Come ti chiami");
inline const QString greeting = QStringLiteral(" %1 vediamo se sei un vero campione  ");
inline const QString recordPassed = QStringLiteral("E' record");
// An answer scored: right, or wrong with the right answer (shown briefly, spoken in full).
inline const QString right = QStringLiteral("Esatto, è incredibile!!!");
inline const QString wrong = QStringLiteral("Sbagliato!! %1");
inline const QString wrongSpoken = QStringLiteral("Sbagliato!! La risposta giusta era %1");
// The window's caption while it is not minimized (minimized, it shows the minutes left).
inline const QString caption = QStringLiteral("Vorandi");
// The clock's end: the goodbye on screen, its title with the date, and the goodbye spoken with
// the score and the record's fate.
inline const QString goodbye = QStringLiteral("Ciao a presto. Ore %1");
inline const QString goodbyeTitle = QStringLiteral("Data %1");
inline const QString goodbyeSpoken =
    QStringLiteral("Ciao a presto. Il tempo è finito: %1 risposte esatte su %2. ");
inline const QString recordBeaten = QStringLiteral("Hai battuto il record!");
inline const QString recordNotBeaten = QStringLiteral("Il record non è battuto.");
// Leaving, and a new game: the questions and their titles.
inline const QString leaveQuestion = QStringLiteral("Vuoi veramente lasciarmi  ?");
inline const QString leaveTitle = QStringLiteral("Uscire dal programma");
inline const QString newGameQuestion = QStringLiteral("INIZIAMO UNA NUOVA GARA  ?");
inline const QString newGameTitle = QStringLiteral("INIZIARE NUOVA GARA");
// A beaten record: saved, or kept aside while another game held the record.
inline const QString recordSaved =
    QStringLiteral("Ok ho registrato il tuo record, C A M P I O N E\"");
inline const QString recordKeptAside =
    QStringLiteral("Il tuo record è stato messo da parte: un'altra partita di Vorandi stava usando "
                   "il record. Lo registrerà la prossima partita.");

} // namespace game::text
