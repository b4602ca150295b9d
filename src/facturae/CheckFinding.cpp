#include "facturae/CheckFinding.h"

QString CheckFinding::severityLabel() const {
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("ERROR");
    case Severity::Warning:
        return QStringLiteral("WARNING");
    case Severity::Info:
        break;
    }
    return QStringLiteral("INFO");
}

QString CheckFinding::severityKey() const {
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("error");
    case Severity::Warning:
        return QStringLiteral("warning");
    case Severity::Info:
        break;
    }
    return QStringLiteral("info");
}

bool hasErrors(const CheckFindings& findings) {
    for (const CheckFinding& f : findings) {
        if (f.isError())
            return true;
    }
    return false;
}
