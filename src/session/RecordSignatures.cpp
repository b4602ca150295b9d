#include "session/RecordSignatures.h"

#include "signing/DocumentSigning.h"
#include "signing/SigningCertificate.h"

#include <QStringList>

namespace {

SignatureProfile profileFor(RecordSigner::Kind kind) {
    return kind == RecordSigner::Kind::Event ? SignatureProfile::event()
                                             : SignatureProfile::billingRecord();
}

} // namespace

namespace RecordSignatures {

RecordSigner with(std::shared_ptr<const SigningCertificate> certificate) {
    RecordSigner signer;
    signer.sign = [certificate](const QByteArray& xml, RecordSigner::Kind kind,
                                const QDateTime& at) {
        return DocumentSigning::signRecord(xml, *certificate, profileFor(kind), at);
    };
    return signer;
}

SignatureCheck check() {
    return [](const QByteArray& xml, RecordSigner::Kind kind) {
        SignatureVerifier::Options options;
        options.profile = profileFor(kind);
        options.systemRoots = false;
        const SignatureReport report = SignatureVerifier::verify(xml, options);
        QStringList errors;
        for (const SignatureFinding& finding : report.findings) {
            if (finding.severity == SignatureFinding::Severity::Error)
                errors << finding.message;
        }
        return errors.join(QStringLiteral("; "));
    };
}

} // namespace RecordSignatures
