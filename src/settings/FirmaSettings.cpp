#include "settings/FirmaSettings.h"

#include "storage/IniFile.h"

namespace {
const QString Firma = QStringLiteral("FIRMA");
const QString MethodKey = QStringLiteral("METODO");
const QString CertificateKey = QStringLiteral("CERTIFICADO");
} // namespace

FirmaSettings FirmaSettings::read(const IniFile& ini) {
    FirmaSettings settings;
    if (ini.readString(Firma, MethodKey).trimmed().compare(CertificateKey, Qt::CaseInsensitive) ==
        0)
        settings.method = Method::Certificate;
    settings.certificate = ini.readString(Firma, CertificateKey);
    return settings;
}

void FirmaSettings::write(IniFile& ini) const {
    ini.writeString(Firma, MethodKey,
                    method == Method::Certificate ? CertificateKey : QStringLiteral("AUTOFIRMA"));
    ini.writeString(Firma, CertificateKey, certificate);
}
