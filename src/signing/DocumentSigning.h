#pragma once

#include "signing/SignatureVerifier.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

class SigningCertificate;
class XmlDocument;

// Signing and checking invoice files: what the window and the command-line
// tool both run.
namespace DocumentSigning {

struct SignResult {
    QString output;         // where the signed document was written
    QByteArray signedBytes; // what was written there
    SignatureReport report; // the check of the written file
};

// The signed document's name: input's extension replaced by XSIG.
QString defaultOutput(const QString& input);

// The seller's tax id (SellerParty's TaxIdentificationNumber), or empty.
QString issuerTaxId(const XmlDocument& document);
QString issuerTaxId(const QByteArray& document);

// A warning text when the document's issuer is someone else than the
// certificate's holder or company; empty when they match or the document
// names no issuer.
QString taxIdMismatch(const XmlDocument& document, const CertificateSummary& certificate);
QString taxIdMismatch(const QByteArray& document, const CertificateSummary& certificate);

// Called with the document as read (its tree and its bytes), before it is
// signed; what it throws stops the signing (the session refuses a document
// with errors so).
using Inspection = std::function<void(const XmlDocument& document, const QByteArray& bytes)>;

// Reads input once, lets inspect look at it, refuses a document that already
// holds a signature or a certificate not valid at 'now', signs what was read,
// checks the signed bytes and writes them to output (empty: the default name)
// in one piece. Throws AppError with a Spanish message; nothing is written
// when signing or the check of the signed bytes fails, nor when output is the
// same file as input, the certificate's file or any of otherInputs (what else
// the caller reads).
SignResult signFile(const QString& input, const SigningCertificate& certificate,
                    const QString& output = {}, const QStringList& otherInputs = {},
                    const Inspection& inspect = {},
                    const QDateTime& now = QDateTime::currentDateTime());

// Signs a billing record or an event (a document of its own, held in
// memory) under profile at 'now', and checks the signed bytes before they are
// returned. Throws AppError when the certificate is not usable at now, the
// document cannot be signed or the signed bytes fail their check.
QByteArray signRecord(const QByteArray& document, const SigningCertificate& certificate,
                      const SignatureProfile& profile, const QDateTime& now);

// Reads and checks a signed document. A file that cannot be read is an error
// finding.
SignatureReport verifyFile(const QString& path, const SignatureVerifier::Options& options = {});

} // namespace DocumentSigning
