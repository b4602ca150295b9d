#include "invoice/FieldRounding.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace FieldRounding {

namespace {
// Beyond this many hundredths no invoice goes; clamping keeps the text sane.
constexpr qint64 MaxCents = 999'999'999'999'999'999LL;
} // namespace

qint64 toCents(long double value) {
    if (std::isnan(value))
        return 0;
    const bool negative = std::signbit(value);
    const long double magnitude = std::fabs(value);
    if (std::isinf(magnitude))
        return negative ? -MaxCents : MaxCents;

    // Fast path: taking the value to 18 significant digits moves it by less
    // than 5e-18 of itself, so far enough from a half hundredth it cannot
    // change which way the value rounds.
    if (magnitude < 1e13L) {
        const long double hundredths = magnitude * 100.0L;
        const long double whole = std::floor(hundredths);
        const long double fraction = hundredths - whole;
        if (std::fabs(fraction - 0.5L) > 1e-15L * hundredths + 1e-12L) {
            const auto cents = static_cast<qint64>(whole) + (fraction > 0.5L ? 1 : 0);
            return negative ? -cents : cents;
        }
    }

    // 18 significant digits, rounded to nearest with ties to even.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17Le", magnitude);
    // buffer: "d.ddddddddddddddddde[+-]xx"
    unsigned long long digits = 0;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
    }
    const int exponent = (*p == 'e') ? std::atoi(p + 1) : 0;

    // magnitude = digits * 10^(exponent - 17); cents = digits * 10^(exponent - 15).
    const int shift = exponent - 15;
    unsigned long long cents = 0;
    if (shift > 0) {
        // 10^16 and above: at least 10^18 hundredths, beyond the clamp (and
        // multiplying the digits up would overflow).
        return negative ? -MaxCents : MaxCents;
    } else if (shift == 0) {
        cents = digits;
    } else if (-shift <= 18) {
        unsigned long long divisor = 1;
        for (int i = 0; i < -shift; ++i)
            divisor *= 10;
        cents = digits / divisor;
        const unsigned long long rest = digits % divisor;
        if (rest >= divisor - rest) // half or more goes away from zero
            ++cents;
    }
    if (cents > static_cast<unsigned long long>(MaxCents))
        cents = MaxCents;
    const auto signedCents = static_cast<qint64>(cents);
    return negative ? -signedCents : signedCents;
}

long double round2(long double value) {
    return fromCents(toCents(value));
}

static QString formatCents(qint64 cents, QChar decimalMark, QChar groupMark) {
    const bool negative = cents < 0;
    const quint64 magnitude =
        negative ? static_cast<quint64>(-(cents + 1)) + 1 : static_cast<quint64>(cents);
    const QString whole = QString::number(magnitude / 100);
    QString grouped;
    if (groupMark.isNull()) {
        grouped = whole;
    } else {
        const int n = int(whole.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                grouped += groupMark;
            grouped += whole[i];
        }
    }
    const quint64 fraction = magnitude % 100;
    QString text = negative ? QStringLiteral("-") : QString();
    text += grouped;
    text += decimalMark;
    text += QChar(char16_t(u'0' + fraction / 10));
    text += QChar(char16_t(u'0' + fraction % 10));
    return text;
}

QString plainText(qint64 cents) {
    return formatCents(cents, u'.', QChar());
}

QString displayText(qint64 cents) {
    return formatCents(cents, u',', u'.');
}

} // namespace FieldRounding
