#include "cli/FindingLines.h"

#include "signing/SignatureFinding.h"

#include <QTextStream>

namespace FindingLines {

void write(QTextStream& stream, const QString& file, const CheckFindings& findings) {
    for (const CheckFinding& f : findings)
        stream << file << ": " << findingLine(f) << '\n';
}

} // namespace FindingLines
