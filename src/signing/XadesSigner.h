#pragma once

#include "signing/SignatureProfile.h"

#include <QByteArray>
#include <QDateTime>

class SigningCertificate;
class XmlDocument;

// Enveloped XAdES-EPES signature over a whole document, under the profile's
// policy (Facturae 3.1 unless told), with RSA-SHA256 and inclusive
// canonicalisation.
namespace XadesSigner {

// Returns the document's bytes with a ds:Signature element put just before
// the end tag of the element the profile names (the root's by default);
// every other byte stays as it was. signingTime is the
// moment written into the signature (local time with its offset).
// Throws AppError for a document that cannot be parsed, that already holds a
// signature, or when the signing itself fails. The certificate's validity is
// the caller's to check.
QByteArray sign(const QByteArray& document, const SigningCertificate& certificate,
                const QDateTime& signingTime,
                const SignatureProfile& profile = SignatureProfile::facturae());
// The same for a document already parsed from those bytes (checked and
// signed on one reading); the signature is added to its tree.
QByteArray sign(XmlDocument& parsed, const QByteArray& document,
                const SigningCertificate& certificate, const QDateTime& signingTime,
                const SignatureProfile& profile = SignatureProfile::facturae());

} // namespace XadesSigner
