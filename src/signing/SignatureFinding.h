#pragma once

#include "facturae/CheckFinding.h"

// The signature check reports in the same form as the document check: a
// stable code, how much it matters, the element it is about, a Spanish text.
using SignatureFinding = CheckFinding;
using SignatureFindings = CheckFindings;

SignatureFinding signatureFinding(const QString& code, SignatureFinding::Severity severity,
                                  const QString& path, const QString& message);

// "ERROR reference-digest /fe:Facturae/ds:Signature/...: El contenido ...", as
// the document check writes its findings.
QString findingLine(const SignatureFinding& finding);

// True when no finding is an error.
bool isValidSignature(const SignatureFindings& findings);
