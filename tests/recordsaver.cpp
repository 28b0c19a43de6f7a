// SPDX-License-Identifier: GPL-3.0-or-later
// Saves records in a loop until killed: the child process of the fault test that kills saves.
// Usage: recordsaver DIR FIRST-SCORE. Prints "ready" once, then saves FIRST, FIRST+1, ...
#include "game/drill.h"
#include "records/recordfiles.h"
#include "saverecordname.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    int score = std::atoi(argv[2]);
    std::puts("ready");
    std::fflush(stdout);
    for (;; ++score)
        records::saveRecord(dir, QString::number(score), saverecordname::nameFor(score),
                            [score](double record) { return game::beatsRecord(score, record); });
}
