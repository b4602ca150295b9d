#include "sending/ServiceSettings.h"

#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "storage/IniFile.h"

#include <QDir>

namespace {

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
    // The keys are read, and unknown values refused, where every [VERIFACTU]
    // key is.
    const RecordSettings records = RecordSettings::read(ini);
    ServiceSettings settings;
    settings.environment = records.environment == RecordSettings::Environment::Test
                               ? Environment::Test
                               : Environment::Production;
    settings.address = addressOf(settings.environment);

    if (!records.url.isEmpty()) {
        const QUrl given(records.url, QUrl::StrictMode);
        if (!given.isValid() || given.scheme() != u"https" || given.host().isEmpty())
            throw AppError(QStringLiteral("[VERIFACTU] URL=%1 en %2 no es válida: debe ser una "
                                          "dirección https://")
                               .arg(records.url, QDir::toNativeSeparators(ini.path())));
        settings.address = given;
    }

    if (!records.ca.isEmpty())
        settings.extraAuthorities = QDir(homeDir).absoluteFilePath(records.ca);
    return settings;
}
