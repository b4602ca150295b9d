#pragma once

#include "facturae/CheckFinding.h"

#include <QString>

// The check's findings as a person reads them in the main window: one line
// per field, named by its caption on screen and the group it is in
// ("N.I.F./C.I.F. (Cliente): ..."); a schema finding about a field a rule
// has already explained adds nothing. Codes and element paths are kept for
// the details, written as `orvane-cli check` writes them.
namespace FindingsText {

// "N.I.F./C.I.F. (Cliente)", "Línea 2 (Detalle Factura)", ... or empty when
// no field on screen shows the element.
QString fieldOf(const QString& path);

// The errors, one line each ("• field: message"), then, when there are any,
// "Avisos:" and the warnings. Information is left out.
QString list(const CheckFindings& findings);

// Every finding, one line each: severity, code, element, message.
QString details(const CheckFindings& findings);

} // namespace FindingsText
