// SPDX-License-Identifier: GPL-3.0-or-later
// Saves records from a process of its own, for the tests of two games ending at once and of a
// file size limit: record_saver DIR PREFIX FIRST STEP COUNT [--create] [--wait-stdin]
// [--fsize-limit N]
// Each save is FIRST + i * STEP with the name PREFIX-score; prints the error of a failed save.
// For the fault test that kills saves: record_saver DIR --until-killed FIRST prints "ready" once,
// then saves FIRST, FIRST+1, ... with the names of saverecordname.h until it is killed.
#include "platform/runtime.h"
#include "records/recordfiles.h"
#include "rules/drill.h"
#include "saverecordname.h"
#include "systemtest.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void waitForStdinToClose()
{
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
}

// No window: no box to show, and a held record is waited for briefly and silently.
const records::RecordServices windowless = records::silently(records::realSystemCalls());

[[noreturn]] void saveUntilKilled(const QString &dir, int score)
{
    std::puts("ready");
    std::fflush(stdout);
    for (;; ++score)
        records::saveRecord(
            dir, QString::number(score), saverecordname::nameFor(score),
            [score](double record) { return game::beatsRecord(score, record); }, windowless);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 4 && std::strcmp(argv[2], "--until-killed") == 0) {
        QCoreApplication app(argc, argv);
        saveUntilKilled(QString::fromLocal8Bit(argv[1]), std::atoi(argv[3]));
    }
    if (argc < 6)
        return 64;
    const QString dir = QString::fromLocal8Bit(argv[1]) + u'\\';
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int first = std::atoi(argv[3]);
    const int step = std::atoi(argv[4]);
    const int count = std::atoi(argv[5]);
    try {
        for (int i = 6; i < argc; ++i) {
            if (std::strcmp(argv[i], "--create") == 0)
                records::createRecordFiles(dir, windowless);
            else if (std::strcmp(argv[i], "--wait-stdin") == 0)
                waitForStdinToClose();
            else if (std::strcmp(argv[i], "--fsize-limit") == 0 && i + 1 < argc)
                systemtest::limitFileSize(std::atol(argv[++i]));
        }
        for (int i = 0; i < count; ++i) {
            const int value = first + i * step;
            const QString score = QString::number(value);
            records::saveRecord(
                dir, score, prefix + u'-' + score,
                [value](double record) { return game::beatsRecord(value, record); }, windowless);
        }
    } catch (const platform::RuntimeError &error) {
        std::fputs(error.message().toUtf8().constData(), stdout);
        return 2;
    }
    return 0;
}
