#include "signing/SignatureFinding.h"

QString SignatureFinding::severityName(Severity severity) {
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("error");
    case Severity::Warning:
        return QStringLiteral("aviso");
    case Severity::Info:
        break;
    }
    return QStringLiteral("info");
}

QString SignatureFinding::toLine() const {
    QString line = severityName(severity) + QStringLiteral(" [") + code + u']';
    if (!path.isEmpty())
        line += u' ' + path;
    return line + QStringLiteral(": ") + message;
}

bool isValidSignature(const SignatureFindings& findings) {
    for (const SignatureFinding& finding : findings) {
        if (finding.severity == SignatureFinding::Severity::Error)
            return false;
    }
    return true;
}
