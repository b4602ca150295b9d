#include "session/RunCredentials.h"

#include "common/AppError.h"
#include "session/RecordSignatures.h"
#include "settings/AppFiles.h"
#include "settings/FirmaSettings.h"
#include "signing/SigningCertificate.h"
#include "storage/IniFile.h"

#include <QDir>

RunCredentials::RunCredentials() : m_state(std::make_shared<State>()) {}

QString RunCredentials::certificateFile(const QString& appDir, const QString& given) {
    if (!given.isEmpty())
        return given;
    const QString named =
        FirmaSettings::read(IniFile(AppFiles::registroIni(appDir))).certificate.trimmed();
    return named.isEmpty() ? QString() : QDir(appDir).absoluteFilePath(named);
}

void RunCredentials::open(const QString& path, QByteArray& password) {
    keep(SigningCertificate::open(path, password));
}

void RunCredentials::keep(SigningCertificate certificate) {
    m_state->certificate = std::make_shared<const SigningCertificate>(std::move(certificate));
    m_state->declined = false;
}

void RunCredentials::decline() {
    m_state->certificate.reset();
    m_state->declined = true;
}

void RunCredentials::clear() {
    m_state->certificate.reset();
}

bool RunCredentials::isOpen() const {
    return m_state->certificate != nullptr;
}

bool RunCredentials::declined() const {
    return m_state->declined;
}

std::shared_ptr<const SigningCertificate> RunCredentials::certificate() const {
    return m_state->certificate;
}

RecordSigner RunCredentials::signer() const {
    RecordSigner signer;
    signer.sign = [state = m_state](const QByteArray& xml, RecordSigner::Kind kind,
                                    const QDateTime& at) {
        // Held only for this signature: clear() is not kept waiting.
        const std::shared_ptr<const SigningCertificate> certificate = state->certificate;
        if (!certificate)
            throw AppError(
                state->declined
                    ? QStringLiteral("En el modo NO VERI*FACTU cada registro y cada evento "
                                     "se firma con su certificado, y al empezar no se dio su "
                                     "contraseña: en esta sesión no se puede firmar. Cierre "
                                     "Orvane y vuelva a abrirlo para escribirla")
                    : QStringLiteral("En el modo NO VERI*FACTU cada registro y cada evento "
                                     "se firma con su certificado, y no se ha abierto ninguno: "
                                     "escriba su contraseña cuando Orvane la pida"));
        return RecordSignatures::with(certificate).sign(xml, kind, at);
    };
    return signer;
}
