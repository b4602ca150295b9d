#pragma once

#include <QDate>
#include <QString>

// How numbers, dates and texts are written into the document.
namespace DocumentText {

// Two decimals after a decimal point, no grouping: 234.5 -> "234.50".
QString amount(long double value);
// The amount followed by "0000": 35.5 -> "35.500000".
QString sixDecimalAmount(long double value);
// "2020-03-05"; a null date is the zero day, "1899-12-30".
QString date(const QDate& date);
// Digits of a non-negative number, padded on the left with "0" to width.
QString leftZeroPad(long long number, int width);
// Drops the characters XML 1.0 does not allow, so the document stays well formed.
QString xmlSafe(const QString& text);

} // namespace DocumentText
