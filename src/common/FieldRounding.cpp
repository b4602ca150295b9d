#include "common/FieldRounding.h"

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

// Writes the text of a number of hundredths into out (at least 32 bytes);
// groupMark 0 writes no grouping. Returns the length.
static int formatCents(qint64 cents, char decimalMark, char groupMark, char* out) {
    const bool negative = cents < 0;
    quint64 magnitude =
        negative ? static_cast<quint64>(-(cents + 1)) + 1 : static_cast<quint64>(cents);
    // Built from the right: two decimals, the mark, then the whole digits.
    char reversed[40];
    int n = 0;
    reversed[n++] = char('0' + magnitude % 10);
    magnitude /= 10;
    reversed[n++] = char('0' + magnitude % 10);
    magnitude /= 10;
    reversed[n++] = decimalMark;
    int digits = 0;
    do {
        if (groupMark && digits > 0 && digits % 3 == 0)
            reversed[n++] = groupMark;
        reversed[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude > 0);
    if (negative)
        reversed[n++] = '-';
    for (int i = 0; i < n; ++i)
        out[i] = reversed[n - 1 - i];
    return n;
}

int writePlain(qint64 cents, char* out) {
    return formatCents(cents, '.', 0, out);
}

QString plainText(qint64 cents) {
    char text[40];
    return QString::fromLatin1(text, formatCents(cents, '.', 0, text));
}

QString displayText(qint64 cents) {
    char text[40];
    return QString::fromLatin1(text, formatCents(cents, ',', '.', text));
}

} // namespace FieldRounding
