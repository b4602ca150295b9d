#pragma once

#include "common/Decimal.h"

#include <QDate>
#include <QString>

#include <optional>

// How values are written into a record. The fingerprint is taken over these
// same texts, so each form is fixed here once.
namespace RecordText {

// Amounts and rates: two decimals after a point, no grouping: "123.10",
// "-5.00", "21.00". The value has at most two decimals (the rules refuse more).
QString twoDecimals(const Decimal& value);
// An amount as a record writes it, read back; nothing when it is not one.
std::optional<Decimal> readAmount(const QString& text);
// "dd-mm-yyyy".
QString date(const QDate& date);
// Without blanks at either end and without the characters XML cannot hold:
// the tax agency trims values before taking the fingerprint, so a record
// holds them trimmed already.
QString value(const QString& text);
inline QString yesNo(bool value) {
    return value ? QStringLiteral("S") : QStringLiteral("N");
}

} // namespace RecordText
