#include "ledger/RecordObligation.h"

#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "settings/AppFiles.h"
#include "settings/RegistroIni.h"
#include "storage/IniFile.h"

namespace RecordObligation {

QString notice(const RecordSettings& settings, std::optional<PersonType> issuer, const QDate& today,
               const LegalDates& dates) {
    if (settings.makesRecords())
        return {};
    const QDate from = dates.obligationDate(issuer.value_or(PersonType::LegalEntity));
    if (!from.isValid() || today < from)
        return {};
    return QStringLiteral("Desde el %1 la ley obliga a hacer un registro de facturación de cada "
                          "factura: elija el modo (VERI*FACTU o sin envío) en Configuración > "
                          "Registro de facturación")
        .arg(from.toString(QStringLiteral("dd/MM/yyyy")));
}

QString notice(const QString& appDir, const QDate& today) {
    const IniFile ini(AppFiles::registroIni(appDir));
    const std::optional<PersonType> issuer =
        PartyFields::personTypeOf(IssuerSettings::read(ini).personLetter());
    try {
        return notice(RecordSettings::read(ini), issuer, today);
    } catch (const AppError& e) {
        return e.message();
    }
}

} // namespace RecordObligation
