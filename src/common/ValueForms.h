#pragma once

#include "common/Decimal.h"

#include <QDate>
#include <QString>
#include <optional>

// Readers of the value forms typed by the user or found in an import file.
namespace ValueForms {

// What reading a number gave: the value, or why there is none.
struct NumberRead {
    enum class Status {
        Ok,
        NotANumber,
        TooManyDecimals, // more than 8 decimals, trailing zeros not counted
        TooLarge,        // beyond what an exact decimal holds
        AmbiguousPoint,  // typed "1.500": a thousands point or a decimal one?
    };
    Status status = Status::NotANumber;
    Decimal value;
    bool ok() const { return status == Status::Ok; }
};

// The form of numbers in files (import files, drafts, settings): decimal
// comma, optional sign, optional exponent, blanks around ignored ("12,50",
// "-3", "1,5e2"), or the screen's own form with points between thousands and
// a decimal comma ("1.234,50"). Anything else is not a number: "12.5",
// "1.234", "1,234.50", "0x10", "NaN", other digits than 0-9.
NumberRead readNumber(const QString& text);

// The typed form: a decimal comma with optional thousands points
// ("1.234,50"); with no comma, a single point followed by 1-2 or 4-8 digits is
// a decimal point ("12.5"), while a point followed by exactly three digits
// ("1.500") is ambiguous; several points group thousands ("1.234.567").
NumberRead readTypedNumber(const QString& text);

// The value when the text is a number of the files' form; nothing otherwise.
std::optional<Decimal> parseNumber(const QString& text);
// The value when the text is a number of the typed form; nothing otherwise.
std::optional<Decimal> parseDisplayNumber(const QString& text);

// Whole number with optional sign, or hexadecimal with the prefix 0x; must fit
// in 32 bits (hexadecimal wraps as a 32-bit pattern).
std::optional<int> parseInteger(const QString& text);

// "d/M/yyyy" (one or two digits for day and month, four for the year) or
// ISO "yyyy-MM-dd". Invalid calendar dates and years before FirstYear give
// nothing.
inline constexpr int FirstYear = 1900;
std::optional<QDate> parseDate(const QString& text);

// Why parseDate() gives nothing for text, to follow a date's name in a
// message: "no existe: febrero de 2023 tiene 28 días", "es anterior a 1900",
// "no es una fecha". Empty when the text is a date.
QString dateProblem(const QString& text);

// "dd/MM/yyyy", the on-screen date form.
QString dateText(const QDate& date);

// The zero day of the date count, 30 December 1899: what an empty due date
// becomes.
inline QDate zeroDate() {
    return QDate(1899, 12, 30);
}

} // namespace ValueForms
