#pragma once

#include <QString>
#include <optional>

// A percentage written by a person on a command line, where a decimal point
// is as likely as a decimal comma: "15,5", "15.5", "7". It must be a number
// from 0 to 100.
namespace PercentageText {

// The percentage in the program's own form (decimal comma), or nothing when
// the text is not a number, is negative or is above 100.
std::optional<QString> normalized(const QString& text);

} // namespace PercentageText
