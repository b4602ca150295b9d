#pragma once

#include "invoice/RecordField.h"

#include <QString>

// Object names of the main window's controls. Tests, Registro.Ini habits and
// people refer to the controls by these names; the core speaks in fields.

// The edit (or, for the withholding rate, the list) that shows a field.
QString controlName(RecordField field);
// The numeric boxes of "Totales Factura": eBruto, eDto, eBase, eIva, eIRPF, eTotal.
QString controlName(TotalBox box);
