#pragma once

#include "facturae/CheckFinding.h"

#include <QString>

// The check's findings as a person reads them in the main window: one line
// each, led by the field on screen where there is one.
namespace FindingsText {

// "NIF del cliente", "Línea 2", ... or empty when no field on screen shows it.
QString fieldOf(const QString& path);
QString list(const CheckFindings& findings);

} // namespace FindingsText
