#pragma once

#include <QByteArray>
#include <QDateTime>

class SigningCertificate;
class XmlDocument;

// Enveloped XAdES-EPES signature over a whole document, under the Facturae
// signature policy 3.1, with RSA-SHA256 and inclusive canonicalisation.
namespace XadesSigner {

// Returns the document's bytes with a ds:Signature element put just before
// the root's end tag; every other byte stays as it was. signingTime is the
// moment written into the signature (local time with its offset).
// Throws AppError for a document that cannot be parsed, that already holds a
// signature, or when the signing itself fails. The certificate's validity is
// the caller's to check.
QByteArray sign(const QByteArray& document, const SigningCertificate& certificate,
                const QDateTime& signingTime);
// The same for a document already parsed from those bytes (checked and
// signed on one reading); the signature is added to its tree.
QByteArray sign(XmlDocument& parsed, const QByteArray& document,
                const SigningCertificate& certificate, const QDateTime& signingTime);

} // namespace XadesSigner
