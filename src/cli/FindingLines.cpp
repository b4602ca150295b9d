#include "cli/FindingLines.h"

#include <QTextStream>

namespace FindingLines {

void write(QTextStream& stream, const QString& file, const CheckFindings& findings) {
    for (const CheckFinding& f : findings)
        stream << file << ": " << f.severityLabel() << ' ' << f.code << ' ' << f.path << ' '
               << f.message << '\n';
}

} // namespace FindingLines
