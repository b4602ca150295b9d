#pragma once

#include "common/ValueForms.h"

#include <QString>

// The numbers of a line and the withholding rate: what each may hold, and the
// Spanish message when a typed or imported value does not fit.
namespace AmountLimits {

enum class NumberField { Cantidad, Precio, Importe, Dto, Descuento, Total, Iva, Withholding };

// Whether a value lies within the field's limits: |Cantidad| and |Precio| up
// to 10^11, Dto from -100 to 100, iva and the withholding rate from 0 to 100.
// The computed columns take any value the decimal type holds.
bool withinLimits(NumberField field, const Decimal& value);

// The message for a typed text, empty when it is acceptable: not a number,
// more than 8 decimals, an ambiguous point or outside the limits.
QString typedProblem(NumberField field, const QString& typed, const ValueForms::NumberRead& read);

// The message that stops an import at a key ("PRECIO3: ..."), empty when the
// value is acceptable. A text that is not a number of the files' form stops
// it too, with the form to write instead ("PRECIO3: «33.33» no es un número;
// escriba la coma decimal: 33,33"); an empty text never gets here.
QString importProblem(NumberField field, const QString& key, const QString& text,
                      const ValueForms::NumberRead& read);

// The typed value, or AppError with the message.
Decimal typedValue(NumberField field, const QString& typed);

} // namespace AmountLimits
