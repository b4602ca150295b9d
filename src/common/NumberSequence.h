#pragma once

#include <QString>
#include <QStringView>

// How invoice numbers follow each other. A number is free text; only its
// last run of ASCII digits counts, and the text before it (the prefix) tells
// which numbering it belongs to: "F-099" and "F-100" follow each other,
// "F-099" and "G-100" cannot be compared.
namespace NumberSequence {

// The number after text: its last run of digits counted up, keeping leading
// zeros and whatever comes before ("007" -> "008", "F-99" -> "F-100").
// Empty when text ends in no digit.
QString next(const QString& text);

// Whether number comes after other in the same numbering: the same prefix,
// and final digits worth more. Numbers of another shape cannot be compared
// and never count as later.
bool isLater(const QString& number, const QString& other);

// The prefix and final digits of a number; digits is empty when the number
// ends in no digit.
struct Parts {
    QStringView prefix;
    QStringView digits;
};
Parts split(QStringView number);

} // namespace NumberSequence
