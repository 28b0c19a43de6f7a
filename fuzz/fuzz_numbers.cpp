// SPDX-License-Identifier: GPL-3.0-or-later
// The number conversions and the code page on arbitrary text: no crash, no exception but the
// documented run-time errors, and results that agree with each other and with the C library.
#include "fuzzcheck.h"
#include "platform/cp1252.h"
#include "platform/runtime.h"

#include <QRegularExpression>

#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cmath>
#include <cstdlib>

using namespace platform;

namespace {

// What a plain decimal text may look like: sign, digits, at most one point.
bool looksNumeric(const QString &trimmed)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    return number.match(trimmed).hasMatch();
}

// The C library's reading of a plain decimal text, for comparison.
Double referenceValue(const QString &numeric)
{
    return std::strtod(numeric.toLatin1().constData(), nullptr);
}

// Val reads what strtod reads; a number too small for a normal double may read as 0.
void checkAgainstReference(Double v, const QString &numeric)
{
    const Double expected = referenceValue(numeric);
    if (std::fpclassify(expected) == FP_SUBNORMAL && v == 0)
        return;
    FUZZ_CHECK_EQ(v, expected);
}

void checkVal(const QString &text)
{
    const Double v = Val(text);
    FUZZ_CHECK(!std::isnan(v));
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    // Only the leading number counts, so Val of the text equals Val of its leading number.
    static const QRegularExpression leading(QStringLiteral("^[+-]?[0-9]*\\.?[0-9]*"));
    const QString head = leading.match(text.mid(i)).captured(0);
    FUZZ_CHECK_EQ(Val(head), v);
    if (looksNumeric(head))
        checkAgainstReference(v, head);
    else
        FUZZ_CHECK_EQ(v, 0.0);
}

void checkInteger(Double v)
{
    const bool fits = fitsInteger(v);
    try {
        const Integer n = CInt(v);
        FUZZ_CHECK(fits);
        FUZZ_CHECK(std::fabs(Double(n) - v) <= 0.5);
        if (std::fabs(Double(n) - v) == 0.5)
            FUZZ_CHECK(n % 2 == 0); // halves go to the even neighbour
    } catch (const RuntimeError &e) {
        FUZZ_CHECK(!fits);
        FUZZ_CHECK_EQ(e.number(), int(errOverflow));
    }
    if (v >= IntegerMin && v <= IntegerMax)
        FUZZ_CHECK(fits);
    if (!(std::fabs(v) < 40000))
        FUZZ_CHECK(!fits);
}

void checkFormat(Double v)
{
    static const QString patterns[] = {QStringLiteral("00"), QStringLiteral("#0"),
                                       QStringLiteral("###0"), QStringLiteral("####0"), QString()};
    for (const QString &pattern : patterns) {
        const QString shown = Format(v, pattern);
        FUZZ_CHECK(!shown.isEmpty());
        if (!std::isfinite(v) || std::fabs(v) >= 1e15)
            continue;
        const Double whole = std::round(v);
        if (!pattern.isEmpty()) {
            FUZZ_CHECK(shown.size() >= pattern.count(u'0'));
            FUZZ_CHECK_EQ(Val(shown), whole == 0 ? 0.0 : whole);
        } else if (v == whole) {
            FUZZ_CHECK_EQ(Val(shown), v);
        }
    }
}

void checkCodePage(const QByteArray &bytes, const QString &text)
{
    const QString read = fromCp1252(bytes);
    FUZZ_CHECK_EQ(read.size(), bytes.size());
    FUZZ_CHECK_EQ(toCp1252(read), bytes); // a file read and written back is unchanged

    const QByteArray written = toCp1252(text);
    FUZZ_CHECK_EQ(written.size(), qsizetype(text.toUcs4().size()));
    const QString back = fromCp1252(written);
    const QList<uint> original = text.toUcs4();
    for (qsizetype i = 0; i < original.size(); ++i) {
        const bool kept = back[i].unicode() == original[i];
        FUZZ_CHECK(kept || back[i] == u'?');
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::setlocale(LC_ALL, "C"); // strtod must read "." as the decimal point
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The same bytes as a record file would hold them and as typed or pasted text.
    const QString fromFile = fromCp1252(bytes);
    const QString typed = QString::fromUtf8(bytes);
    for (const QString &text : {fromFile, typed}) {
        checkVal(text);
        const Double v = Val(text);
        checkInteger(v);
        checkFormat(v);
        checkFormat(-v);
    }
    FuzzedDataProvider provider(data, size);
    const double raw = provider.ConsumeFloatingPoint<double>();
    checkInteger(raw);
    checkFormat(raw);
    checkCodePage(bytes, typed);
    return 0;
}
