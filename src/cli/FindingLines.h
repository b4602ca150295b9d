#pragma once

#include "facturae/CheckFinding.h"

#include <QString>

class QTextStream;

// The text form of the document check's findings, the same for every command
// that shows them: one line per finding, "FILE: ERROR|WARNING|INFO CODE PATH
// mensaje".
namespace FindingLines {

void write(QTextStream& stream, const QString& file, const CheckFindings& findings);

} // namespace FindingLines
