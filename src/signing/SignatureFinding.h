#pragma once

#include <QList>
#include <QString>

// One thing the signature check found: a stable code for tools, how much it
// matters, where in the document, and what a person reads.
struct SignatureFinding {
    enum class Severity { Error, Warning, Info };

    QString code; // "reference-digest", "policy", "chain"...
    Severity severity = Severity::Error;
    QString path;    // the element it is about, "/fe:Facturae/ds:Signature/..."
    QString message; // Spanish

    static QString severityName(Severity severity); // "error", "aviso", "info"
    // "error [policy] /fe:Facturae/ds:Signature: La firma no ..."
    QString toLine() const;
};

using SignatureFindings = QList<SignatureFinding>;

// True when no finding is an error.
bool isValidSignature(const SignatureFindings& findings);
