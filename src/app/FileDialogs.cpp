#include "app/FileDialogs.h"

#include "widgets/Prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace FileDialogs {

namespace {

QString folderOf(const QString& appDir, Kind kind) {
    const QString folder = RememberedFolders::folder(appDir, kind);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

} // namespace

QString open(QWidget* parent, const QString& appDir, Kind kind, const QString& filters,
             const QString& selectedFilter, const QString& start) {
    const QString from =
        !start.isEmpty() && QFileInfo::exists(start) ? start : folderOf(appDir, kind);
    const QString path = Prompts::instance().openFileAt(parent, filters, selectedFilter, from);
    RememberedFolders::remember(appDir, kind, path);
    return path;
}

QString save(QWidget* parent, const QString& appDir, Kind kind, const QString& filters,
             const QString& suffix, const QString& proposal, Existing existing,
             const Refusal& refuse) {
    QString at = proposal;
    // A name alone, or a path whose folder has gone, goes to the kind's folder.
    if (!QFileInfo(proposal).isAbsolute() || !QFileInfo(proposal).absoluteDir().exists())
        at = QDir(folderOf(appDir, kind)).filePath(QFileInfo(proposal).fileName());
    for (;;) {
        const QString path = Prompts::instance().saveFileAt(parent, filters, suffix, at);
        RememberedFolders::remember(appDir, kind, path);
        if (path.isEmpty())
            return path;
        at = path;
        if (const QString why = refuse ? refuse(path) : QString(); !why.isEmpty()) {
            Prompts::instance().warn(parent, AppTitle, why);
            continue;
        }
        if (existing == Existing::CallerAsks || !QFileInfo(path).isFile() ||
            Prompts::instance().confirm(
                parent, AppTitle,
                QStringLiteral("Ya existe el fichero %1.\n\n¿Desea sustituirlo?")
                    .arg(QDir::toNativeSeparators(path))))
            return path;
    }
}

QString invoiceFileName(const QString& series, const QString& number, const QString& extension) {
    QStringList parts;
    for (const QString& part : {series.trimmed(), number.trimmed()})
        if (!part.isEmpty())
            parts << part;
    QString name = parts.isEmpty() ? QStringLiteral("factura") : parts.join(u'-');
    static const QRegularExpression forbidden(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    name.replace(forbidden, QStringLiteral("_"));
    return name + u'.' + extension;
}

} // namespace FileDialogs
