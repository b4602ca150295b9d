#include "sending/ServiceSettings.h"

#include "common/AppError.h"
#include "settings/IniFile.h"

#include <QDir>

namespace {

const QString Section = QStringLiteral("VERIFACTU");

// The service's addresses for invoicing systems that send every record
// (personal and representative certificates).
const char ProductionAddress[] =
    "https://www1.agenciatributaria.gob.es/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP";
const char TestAddress[] =
    "https://prewww1.aeat.es/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP";

} // namespace

QUrl ServiceSettings::addressOf(Environment environment) {
    return QUrl(QString::fromLatin1(environment == Environment::Production ? ProductionAddress
                                                                           : TestAddress));
}

ServiceSettings ServiceSettings::read(const IniFile& ini, const QString& homeDir) {
    ServiceSettings settings;
    const QString environment = ini.readString(Section, QStringLiteral("ENTORNO")).trimmed();
    if (environment.compare(u"PRUEBAS", Qt::CaseInsensitive) == 0)
        settings.environment = Environment::Test;
    else if (!environment.isEmpty() && environment.compare(u"PRODUCCION", Qt::CaseInsensitive) != 0)
        throw AppError(QStringLiteral("[VERIFACTU] ENTORNO=%1 en %2 no es válido: escriba "
                                      "PRODUCCION o PRUEBAS")
                           .arg(environment, QDir::toNativeSeparators(ini.path())));
    settings.address = addressOf(settings.environment);

    const QString url = ini.readString(Section, QStringLiteral("URL")).trimmed();
    if (!url.isEmpty()) {
        const QUrl given(url, QUrl::StrictMode);
        if (!given.isValid() || given.scheme() != u"https" || given.host().isEmpty())
            throw AppError(QStringLiteral("[VERIFACTU] URL=%1 en %2 no es válida: debe ser una "
                                          "dirección https://")
                               .arg(url, QDir::toNativeSeparators(ini.path())));
        settings.address = given;
    }

    const QString authorities = ini.readString(Section, QStringLiteral("CA")).trimmed();
    if (!authorities.isEmpty())
        settings.extraAuthorities = QDir(homeDir).absoluteFilePath(authorities);
    return settings;
}
