#include "ledger/InvoiceCancellation.h"

#include "common/AppError.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

#include <QDir>

namespace InvoiceCancellation {

Settings required(const QString& appDir) {
    const IniFile ini(AppFiles::registroIni(appDir));
    Settings s;
    s.records = RecordSettings::read(ini);
    if (!s.records.makesRecords())
        throw AppError(QStringLiteral("No se hacen registros de facturación: falta elegir el modo "
                                      "([VERIFACTU] MODO en %1, que se elige en Configuración > "
                                      "Registro de facturación). No se ha anulado nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    s.issuerNif = IssuerSettings::read(ini).taxId.trimmed();
    if (s.issuerNif.isEmpty())
        throw AppError(QStringLiteral("Falta el NIF del emisor en Mis datos ([MISDATOS] NIF en "
                                      "%1). No se ha anulado nada")
                           .arg(QDir::toNativeSeparators(ini.path())));
    return s;
}

bool offered(const QString& appDir) {
    try {
        return RecordSettings::read(IniFile(AppFiles::registroIni(appDir))).makesRecords();
    } catch (const AppError&) {
        return false;
    }
}

StoredRecord cancel(BookDatabase& db, const Settings& settings, const QString& seriesNumber,
                    RecordLedger::Options options) {
    return RecordLedger(db, std::move(options))
        .cancel(settings.issuerNif, seriesNumber, settings.records.territory);
}

} // namespace InvoiceCancellation
