#include "settings/RememberedFolders.h"

#include "common/AppError.h"
#include "settings/AppFiles.h"
#include "settings/KeptSettings.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFileInfo>

namespace RememberedFolders {

namespace {

const QString Section = QStringLiteral("CARPETAS");

QString keyOf(Kind kind) {
    switch (kind) {
    case Kind::Import:
        return QStringLiteral("IMPORTAR");
    case Kind::Save:
        return QStringLiteral("GUARDAR");
    case Kind::Sign:
        return QStringLiteral("FIRMAR");
    case Kind::Certificate:
        return QStringLiteral("CERTIFICADO");
    case Kind::Pdf:
        return QStringLiteral("PDF");
    case Kind::ViewDocument:
        return QStringLiteral("VERFACTURA");
    case Kind::CheckSignature:
        return QStringLiteral("COMPROBARFIRMA");
    case Kind::Logo:
        return QStringLiteral("LOGOTIPO");
    }
    return {};
}

} // namespace

QString folder(const QString& appDir, Kind kind) {
    const QString stored =
        KeptSettings::value(IniFile(AppFiles::registroIni(appDir)), Section, keyOf(kind));
    if (stored.isEmpty() || !QFileInfo(stored).isDir())
        return {};
    return stored;
}

void remember(const QString& appDir, Kind kind, const QString& filePath) {
    if (filePath.isEmpty())
        return;
    const QString dir = QDir::toNativeSeparators(QFileInfo(filePath).absolutePath());
    try {
        IniFile ini(AppFiles::registroIni(appDir));
        if (KeptSettings::value(ini, Section, keyOf(kind)) == dir)
            return;
        KeptSettings::store(ini, Section, keyOf(kind), dir);
    } catch (const AppError&) {
        // Remembering is a convenience; the file the person chose is what counts.
    }
}

} // namespace RememberedFolders
