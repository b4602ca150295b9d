#pragma once

#include <QString>
#include <QtGlobal>

// The rounding of a numeric box with a two-decimal display format: the
// magnitude is taken to 18 significant digits (ties to even), then cut at two
// decimals with halves going away from zero. A value that rounds to zero loses
// its sign.
namespace FieldRounding {

// Signed number of hundredths. Magnitudes beyond what an invoice reaches are
// clamped instead of overflowing.
qint64 toCents(long double value);

// What reading the box back gives.
long double round2(long double value);
inline long double fromCents(qint64 cents) {
    return static_cast<long double>(cents) / 100.0L;
}

// "1234.50", "-0.40": decimal point, no grouping (the document's form).
QString plainText(qint64 cents);

// The plain form written into out (room for 40 bytes); returns its length.
int writePlain(qint64 cents, char* out);

// "1.234,50", "-0,40": the screen form "##,##0.00" with decimal comma.
QString displayText(qint64 cents);

} // namespace FieldRounding
