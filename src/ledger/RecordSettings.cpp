#include "ledger/RecordSettings.h"

#include "common/AppError.h"
#include "settings/IniFile.h"

#include <QDir>

namespace {

const QString Section = QStringLiteral("VERIFACTU");

// The key's value, upper case; throws when it is none of the words allowed.
QString word(const IniFile& ini, const char* key, const QStringList& allowed) {
    const QString value = ini.readString(Section, QLatin1String(key)).trimmed();
    const QString upper = value.toUpper();
    if (!value.isEmpty() && !allowed.contains(upper))
        throw AppError(QStringLiteral("[VERIFACTU] %1=%2 en %3 no es válido: escriba %4")
                           .arg(QLatin1String(key), value, QDir::toNativeSeparators(ini.path()),
                                allowed.join(QStringLiteral(" o "))));
    return upper;
}

} // namespace

RecordSettings RecordSettings::read(const IniFile& ini) {
    RecordSettings settings;
    const QString mode =
        word(ini, "MODO", {QStringLiteral("VERIFACTU"), QStringLiteral("NOVERIFACTU")});
    if (mode == u"VERIFACTU")
        settings.mode = Mode::Verifactu;
    else if (mode == u"NOVERIFACTU")
        settings.mode = Mode::NoVerifactu;
    if (word(ini, "TERRITORIO", {QStringLiteral("PENINSULA"), QStringLiteral("CANARIAS")}) ==
        u"CANARIAS")
        settings.territory = Territory::Canarias;
    return settings;
}
