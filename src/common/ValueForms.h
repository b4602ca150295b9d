#pragma once

#include <QDate>
#include <QString>
#include <optional>

// Readers of the value forms typed by the user or found in an import file.
namespace ValueForms {

// Decimal comma, optional sign, optional exponent, no thousands separator,
// blanks around ignored: "12,50", "-3", "1,5e2". Anything else (a point as
// decimal mark, grouping, an empty text, an infinite result) gives nothing.
std::optional<long double> parseNumber(const QString& text);

// The screen form: like parseNumber, but a point between thousands is allowed
// ("1.234,50"), as the numeric boxes show their values.
std::optional<long double> parseDisplayNumber(const QString& text);

// Whole number with optional sign, or hexadecimal with the prefix 0x; must fit
// in 32 bits (hexadecimal wraps as a 32-bit pattern).
std::optional<int> parseInteger(const QString& text);

// "d/M/yyyy" (one or two digits for day and month, four for the year) or
// ISO "yyyy-MM-dd". Invalid calendar dates and years before FirstYear give
// nothing.
inline constexpr int FirstYear = 1900;
std::optional<QDate> parseDate(const QString& text);

// "dd/MM/yyyy", the on-screen date form.
QString dateText(const QDate& date);

// The zero day of the date count, 30 December 1899: what an empty due date
// becomes.
inline QDate zeroDate() {
    return QDate(1899, 12, 30);
}

} // namespace ValueForms
