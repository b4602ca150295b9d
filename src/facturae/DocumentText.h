#pragma once

#include "common/Decimal.h"

#include <QDate>
#include <QString>

// How numbers, dates and texts are written into the document.
namespace DocumentText {

// Rounded to cents, two decimals after a decimal point, no grouping:
// 234.5 -> "234.50".
QString amount(const Decimal& value);
// Rounded to cents, written with six decimals: 35.5 -> "35.500000".
QString sixDecimalAmount(const Decimal& value);
// "2020-03-05"; a null date is the zero day, "1899-12-30".
QString date(const QDate& date);
// Digits of a non-negative number, padded on the left with "0" to width.
QString leftZeroPad(long long number, int width);
// Drops the characters XML 1.0 does not allow, so the document stays well formed.
QString xmlSafe(const QString& text);

} // namespace DocumentText
