#include "signing/SignatureFinding.h"

SignatureFinding signatureFinding(const QString& code, SignatureFinding::Severity severity,
                                  const QString& path, const QString& message) {
    SignatureFinding finding;
    finding.code = code;
    finding.severity = severity;
    finding.path = path;
    finding.message = message;
    return finding;
}

QString findingLine(const SignatureFinding& finding) {
    QString line = finding.severityLabel() + u' ' + finding.code;
    if (!finding.path.isEmpty())
        line += u' ' + finding.path;
    return line + u' ' + finding.message;
}

bool isValidSignature(const SignatureFindings& findings) {
    return !hasErrors(findings);
}
