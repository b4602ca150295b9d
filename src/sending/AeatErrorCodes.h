#pragma once

#include <QString>

// The tax agency's error codes a person is likely to meet, with a Spanish text
// that says what happened and what to do. Only codes whose meaning is certain
// are listed; any other is shown with the agency's own description.
namespace AeatErrorCodes {

// The table's text for the code, or an empty text.
QString knownText(int code);

// "Código 3002: <table text, or the agency's description as given>", without
// a closing full stop.
QString explain(int code, const QString& agencyDescription);

} // namespace AeatErrorCodes
