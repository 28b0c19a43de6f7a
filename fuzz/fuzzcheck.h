// SPDX-License-Identifier: GPL-3.0-or-later
// What every fuzz target shares: a failed check is a crash that libFuzzer keeps as an artifact.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "check failed: %s at %s:%d\n", #cond, __FILE__, __LINE__);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

#define FUZZ_CHECK_EQ(a, b)                                                                        \
    do {                                                                                           \
        if (!((a) == (b))) {                                                                       \
            std::fprintf(stderr, "check failed: %s == %s at %s:%d\n", #a, #b, __FILE__, __LINE__); \
            fuzzcheck::printBoth(a, b);                                                            \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fuzzcheck {

inline void printOne(const QString &s)
{
    std::fprintf(stderr, "  \"%s\"\n", s.left(200).toUtf8().toHex(' ').constData());
}
inline void printOne(const QByteArray &s)
{
    std::fprintf(stderr, "  %s\n", s.left(200).toHex(' ').constData());
}
inline void printOne(double v)
{
    std::fprintf(stderr, "  %.17g\n", v);
}
inline void printOne(long long v)
{
    std::fprintf(stderr, "  %lld\n", v);
}
template <class T> void printOne(const T &v)
{
    printOne(static_cast<long long>(v));
}
template <class A, class B> void printBoth(const A &a, const B &b)
{
    printOne(a);
    printOne(b);
}

} // namespace fuzzcheck
