#include "settings/AutoFirmaSettings.h"

#include "storage/IniFile.h"

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

const QStringList& AutoFirmaSettings::offeredCommands() {
    static const QStringList list{QStringLiteral("Sign -certgui"), QStringLiteral("Sign -gui")};
    return list;
}

const QStringList& AutoFirmaSettings::offeredFormats() {
    static const QStringList list{
        QStringLiteral("-format AUTO"),     QStringLiteral("-format PADES"),
        QStringLiteral("-format FACTURAE"), QStringLiteral("-format CADES"),
        QStringLiteral("-format XADES"),    QStringLiteral("-format OOXML"),
        QStringLiteral("-format ODF")};
    return list;
}

QString AutoFirmaSettings::problem() const {
    QString what;
    if (!offeredCommands().contains(command))
        what = command.isEmpty() ? QStringLiteral("falta el comando (COMANDO)")
                                 : QStringLiteral("el comando (COMANDO) «%1» no es uno de los que "
                                                  "ofrece la configuración")
                                       .arg(command);
    else if (!offeredFormats().contains(format))
        what = format.isEmpty()
                   ? QStringLiteral("falta el formato de firma (FIRMA)")
                   : QStringLiteral("el formato de firma (FIRMA) «%1» no es uno de los "
                                    "que ofrece la configuración")
                         .arg(format);
    else if (folder.trimmed().isEmpty())
        what = QStringLiteral("falta la carpeta de instalación (RUTAPROGRAMA)");
    else if (program.isEmpty())
        what = QStringLiteral("falta el nombre del programa (PROGRAMA)");
    else if (program.contains(u'/') || program.contains(u'\\') || program.contains(u':') ||
             program.contains(QStringLiteral("..")) || program == u".")
        what = QStringLiteral("el programa (PROGRAMA) «%1» debe ser solo un nombre de fichero "
                              "de la carpeta de instalación")
                   .arg(program);
    if (what.isEmpty())
        return {};
    return QStringLiteral("La configuración de AutoFirma no es válida: %1. No se ha iniciado "
                          "AutoFirma")
        .arg(what);
}
