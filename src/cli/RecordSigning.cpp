#include "cli/RecordSigning.h"

#include "cli/PasswordInput.h"
#include "common/AppError.h"
#include "session/InvoiceSession.h"
#include "session/RecordSignatures.h"
#include "session/RunCredentials.h"
#include "session/RunEvents.h"
#include "settings/AppFiles.h"
#include "signing/SigningCertificate.h"
#include "storage/IniFile.h"

#include <QDateTime>
#include <QDir>

RecordSigner RecordSigning::signer() const {
    return RecordSignatures::with(certificate);
}

EventLog RecordSigning::log(BookDatabase& db) const {
    return EventLog(db, {issuerName(issuer), issuer.taxId.trimmed(), settings.territory}, signer());
}

std::optional<RecordSigning> RecordSigning::open(const QString& home,
                                                 const QString& certificatePath,
                                                 const QString& passwordFile, int passwordFd,
                                                 QTextStream& err) {
    const IniFile ini(AppFiles::registroIni(home));
    const RecordSettings settings = RecordSettings::read(ini);
    if (settings.mode != RecordSettings::Mode::NoVerifactu)
        return std::nullopt;
    const QString path = certificateFile(home, certificatePath);
    if (path.isEmpty())
        throw AppError(QStringLiteral("En el modo NO VERI*FACTU cada registro y cada evento se "
                                      "firma, y no hay certificado: indíquelo en Configuración > "
                                      "Firma ([FIRMA] CERTIFICADO en %1) o con --cert. No se ha "
                                      "escrito nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    RecordSigning signing{IssuerSettings::read(ini), settings, nullptr};
    QByteArray password = readPassword(passwordFile, passwordFd, err);
    // openCertificate wipes the password whatever happens.
    signing.certificate =
        std::make_shared<const SigningCertificate>(InvoiceSession::openCertificate(path, password));
    // Said once, before anything is written, rather than by each signature.
    signing.certificate->checkUsableAt(QDateTime::currentDateTime());
    return signing;
}

bool RecordSigning::modeSigns(const QString& home) {
    return RecordSettings::read(IniFile(AppFiles::registroIni(home))).mode ==
           RecordSettings::Mode::NoVerifactu;
}

QString RecordSigning::issuerName(const IssuerSettings& issuer) {
    return RunEvents::issuerName(issuer);
}

QString RecordSigning::certificateFile(const QString& home, const QString& given) {
    return RunCredentials::certificateFile(home, given);
}
