#include "settings/AutoFirmaSettings.h"

#include "settings/IniFile.h"

namespace {
const QString AutoFirma = QStringLiteral("AUTOFIRMA");
} // namespace

AutoFirmaSettings AutoFirmaSettings::read(const IniFile& ini) {
    return {ini.readString(AutoFirma, QStringLiteral("RUTAPROGRAMA")),
            ini.readString(AutoFirma, QStringLiteral("PROGRAMA")),
            ini.readString(AutoFirma, QStringLiteral("COMANDO")),
            ini.readString(AutoFirma, QStringLiteral("FIRMA"))};
}

void AutoFirmaSettings::write(IniFile& ini) const {
    ini.writeString(AutoFirma, QStringLiteral("RUTAPROGRAMA"), folder);
    ini.writeString(AutoFirma, QStringLiteral("PROGRAMA"), program);
    ini.writeString(AutoFirma, QStringLiteral("COMANDO"), command);
    ini.writeString(AutoFirma, QStringLiteral("FIRMA"), format);
}
