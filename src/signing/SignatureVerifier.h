#pragma once

#include "signing/CertificateSummary.h"
#include "signing/SignatureFinding.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

// What the check of a signed document found, and who signed it when.
struct SignatureReport {
    SignatureFindings findings;
    CertificateSummary signer; // empty when no certificate could be read
    QDateTime signingTime;     // invalid when missing or unreadable

    bool valid() const { return isValidSignature(findings); }
};

// Checks an enveloped XAdES signature: the digests and the signature value,
// that it covers the whole document and its signed properties, the Facturae
// policy, the signing certificate against KeyInfo, the certificate's validity
// at the signing time, and its chain to the system's trusted roots (a missing
// chain is a warning, not an error).
namespace SignatureVerifier {

struct Options {
    QStringList trustedCaFiles; // PEM files trusted besides the system's roots
    bool systemRoots = true;
};

SignatureReport verify(const QByteArray& document, const Options& options = {});

} // namespace SignatureVerifier
