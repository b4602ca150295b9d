#pragma once

#include "signing/CertificateSummary.h"
#include "signing/SignatureFinding.h"
#include "signing/SignatureProfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

#include <optional>

// What the check of a signed document found, and who signed it when.
struct SignatureReport {
    SignatureFindings findings;
    CertificateSummary signer; // empty when no certificate could be read
    QDateTime signingTime;     // invalid when missing or unreadable

    bool valid() const { return isValidSignature(findings); }
};

// Checks an enveloped XAdES signature: the digests and the signature value,
// that it covers the whole document and its signed properties, the policy
// (Facturae's for invoices, AGE's for the tax agency's records and events), the signing certificate
// (SigningCertificate or SigningCertificateV2) against KeyInfo, the certificate's validity at the
// signing time, and its chain to the system's trusted roots (a missing chain is a warning, not an
// error). As a careful verifier does, it also refuses a signing time in the
// future and warns about what the signing time cannot prove (a certificate
// expired since), a certificate not meant for signatures and a short RSA key.
namespace SignatureVerifier {

struct Options {
    QStringList trustedCaFiles; // PEM files trusted besides the system's roots
    bool systemRoots = true;
    QDateTime at; // the verifying clock; invalid: now
    // The policy and place the signature must have; by default what the
    // document's root asks for (SignatureProfile::forRoot).
    std::optional<SignatureProfile> profile;
};

// A signing time is in the future when it is later than the verifying clock
// by more than this (clocks are never quite together).
inline constexpr int AllowedClockSkewSeconds = 5 * 60;

SignatureReport verify(const QByteArray& document, const Options& options = {});

// Why a file given as trusted authorities cannot be used (missing,
// unreadable, or holding no PEM certificate), or empty when it can.
QString trustedCaProblem(const QString& path);

} // namespace SignatureVerifier
