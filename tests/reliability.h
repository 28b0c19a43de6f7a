// SPDX-License-Identifier: GPL-3.0-or-later
// Figures for the reliability report: each test appends one JSON line per case to the file named
// by VORANDI_RELIABILITY_OUT (set by CTest); without it nothing is written.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>

namespace reliability {

// Which build ran the case: the report keeps the plain and the instrumented run apart.
inline const char *buildName()
{
#if defined(__SANITIZE_ADDRESS__)
    return "sanitize";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return "sanitize";
#else
    return "normal";
#endif
#else
    return "normal";
#endif
}

inline void record(QJsonObject entry)
{
    const char *path = std::getenv("VORANDI_RELIABILITY_OUT");
    if (!path || !*path)
        return;
    entry.insert(QStringLiteral("build"), QString::fromLatin1(buildName()));
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    // One write of one line in append mode, so tests running side by side do not interleave.
    if (std::FILE *f = std::fopen(path, "a")) {
        std::setvbuf(f, nullptr, _IOFBF, size_t(line.size()) + 1);
        std::fwrite(line.constData(), 1, size_t(line.size()), f);
        std::fclose(f);
    }
}

// A fault or a bad input the game met: whether it came through, how many records it lost and
// whether it hung (waited with nothing on screen until the test had to free it).
inline void outcome(const char *kind, const QString &name, const QString &how, bool survived,
                    int lost, int hangs = 0)
{
    record({{QStringLiteral("kind"), QString::fromLatin1(kind)},
            {QStringLiteral("name"), name},
            {QStringLiteral("how"), how},
            {QStringLiteral("survived"), survived},
            {QStringLiteral("lost"), lost},
            {QStringLiteral("hangs"), hangs}});
}

// A fault this machine cannot make, and why; another row stands in for it.
inline void skipped(const QString &name, const QString &how, const QString &why)
{
    record({{QStringLiteral("kind"), QStringLiteral("fault")},
            {QStringLiteral("name"), name},
            {QStringLiteral("how"), how},
            {QStringLiteral("skipped"), why}});
}

} // namespace reliability
