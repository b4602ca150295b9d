#include "settings/AppFiles.h"

#include "common/FileIdentity.h"

#include <QDir>
#include <QFileInfo>

namespace AppFiles {

QString resolve(const QString& dir, const QString& relative) {
    QString current = dir;
    const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QString chosen = part;
        const QDir folder(current);
        if (!QFileInfo::exists(folder.filePath(part))) {
            const QStringList entries = folder.entryList(QDir::AllEntries | QDir::Hidden |
                                                         QDir::System | QDir::NoDotAndDotDot);
            for (const QString& entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    chosen = entry;
                    break;
                }
            }
        }
        current = folder.filePath(chosen);
    }
    return current;
}

QString registroIni(const QString& appDir) {
    return resolve(appDir, QStringLiteral("Registro.Ini"));
}

QString concellosIni(const QString& appDir) {
    return resolve(appDir, QStringLiteral("Concellos.Ini"));
}

QString fixedImportFile(const QString& appDir) {
    return resolve(appDir, QStringLiteral("Importa/Factura.Ini"));
}

QString settingsFileAt(const QString& appDir, const QString& path) {
    if (path.isEmpty())
        return {};
    const QFileInfo info(path);
    const bool inAppDir = FileIdentity::sameFile(info.absolutePath(), appDir);
    for (const QString& name : {QStringLiteral("Registro.Ini"), QStringLiteral("Concellos.Ini")}) {
        if (FileIdentity::samePlace(path, resolve(appDir, name)) ||
            (inAppDir && info.fileName().compare(name, Qt::CaseInsensitive) == 0))
            return name;
    }
    return {};
}

} // namespace AppFiles
