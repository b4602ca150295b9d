#include "signing/InstalledProgramsLinux.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// Neither a desktop entry nor a dpkg file list is anywhere near this size; a
// bigger file is not what we are looking for.
constexpr qint64 MaxDesktopEntrySize = 1024 * 1024;

QByteArray readSmallFile(const QString& path, qint64 limit) {
    QFile file(path);
    if (file.size() > limit || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(limit);
}

void appendUnique(QStringList& list, const QString& dir) {
    const QString clean = QDir::cleanPath(dir);
    if (!clean.isEmpty() && !list.contains(clean))
        list.append(clean);
}

} // namespace

namespace InstalledProgramsText {

QString desktopEntryName(const QByteArray& content) {
    bool inEntry = false;
    QString name;
    for (const QByteArray& rawLine : content.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            if (inEntry)
                break; // only the main group counts
            inEntry = (line == "[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "Hidden" && value == "true")
            return {}; // an entry the user or the system has deleted
        if (key == "Name" && name.isEmpty())
            name = QString::fromUtf8(value);
    }
    return name;
}

QStringList installedPackages(const QByteArray& statusText) {
    QStringList names;
    QString package;
    QString description;
    bool installed = false;
    auto finishParagraph = [&] {
        if (installed && !package.isEmpty()) {
            names.append(package);
            if (!description.isEmpty())
                names.append(description);
        }
        package.clear();
        description.clear();
        installed = false;
    };
    for (const QByteArray& rawLine : statusText.split('\n')) {
        QByteArray line = rawLine;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty()) {
            finishParagraph();
            continue;
        }
        if (line.startsWith(' ') || line.startsWith('\t'))
            continue; // continuation of a long field
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray field = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (field == "package")
            package = QString::fromUtf8(value);
        else if (field == "description")
            description = QString::fromUtf8(value);
        else if (field == "status")
            installed = value.endsWith(" installed");
    }
    finishParagraph();
    return names;
}

} // namespace InstalledProgramsText

LinuxInstalledPrograms::Locations LinuxInstalledPrograms::systemLocations() {
    Locations where;
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        appendUnique(where.applicationDirs, dir + QStringLiteral("/applications"));
    appendUnique(where.applicationDirs, QStringLiteral("/usr/share/applications"));
    appendUnique(where.applicationDirs, QStringLiteral("/usr/local/share/applications"));

    // Everything exported here belongs to an installed flatpak or snap.
    QStringList packaged{QStringLiteral("/var/lib/flatpak/exports/share/applications"),
                         QStringLiteral("/var/lib/snapd/desktop/applications")};
    const QString home = QDir::homePath();
    if (!home.isEmpty())
        packaged.append(home + QStringLiteral("/.local/share/flatpak/exports/share/applications"));
    for (const QString& dir : packaged) {
        appendUnique(where.applicationDirs, dir);
        appendUnique(where.packagedAppDirs, dir);
    }
    where.dpkgInfoDir = QStringLiteral("/var/lib/dpkg/info");
    where.dpkgStatusFile = QStringLiteral("/var/lib/dpkg/status");
    return where;
}

LinuxInstalledPrograms::LinuxInstalledPrograms(Locations locations)
    : m_locations(std::move(locations)) {}

QStringList LinuxInstalledPrograms::displayNames() const {
    QStringList names = desktopEntryNames(packagedFiles());
    names += installedPackageNames();
    names.removeDuplicates();
    names.sort(Qt::CaseInsensitive);
    return names;
}

// Desktop entries listed in a dpkg file list. Only *.desktop lines are kept,
// which keeps the set small even with thousands of packages.
QSet<QString> LinuxInstalledPrograms::packagedFiles() const {
    QSet<QString> files;
    if (m_locations.dpkgInfoDir.isEmpty())
        return files;
    QDirIterator lists(m_locations.dpkgInfoDir, {QStringLiteral("*.list")}, QDir::Files);
    while (lists.hasNext()) {
        QFile file(lists.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            QByteArray line = file.readLine(4096).trimmed();
            if (line.endsWith(".desktop"))
                files.insert(QDir::cleanPath(QString::fromUtf8(line)));
        }
    }
    return files;
}

QStringList LinuxInstalledPrograms::desktopEntryNames(const QSet<QString>& packaged) const {
    QStringList names;
    QSet<QString> seenIds; // the first folder in the search order wins for one entry id
    for (const QString& dir : m_locations.applicationDirs) {
        const bool wholeFolderPackaged = m_locations.packagedAppDirs.contains(dir);
        QDirIterator entries(dir, {QStringLiteral("*.desktop")}, QDir::Files,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            const QString path = QDir::cleanPath(entries.next());
            const QString id = QDir(dir).relativeFilePath(path);
            if (seenIds.contains(id))
                continue;
            seenIds.insert(id);
            if (!wholeFolderPackaged && !packaged.contains(path)) {
                // The list may name the file by the path its link points to.
                const QString real = QFileInfo(path).canonicalFilePath();
                if (real.isEmpty() || !packaged.contains(real))
                    continue;
            }
            const QString name =
                InstalledProgramsText::desktopEntryName(readSmallFile(path, MaxDesktopEntrySize));
            if (!name.isEmpty())
                names.append(name);
        }
    }
    return names;
}

QStringList LinuxInstalledPrograms::installedPackageNames() const {
    if (m_locations.dpkgStatusFile.isEmpty())
        return {};
    QFile status(m_locations.dpkgStatusFile);
    if (!status.open(QIODevice::ReadOnly))
        return {};
    return InstalledProgramsText::installedPackages(status.readAll());
}

// The reader itself is plain file reading and builds everywhere, so its tests
// run on every platform; it is this machine's source only off Windows.
#ifndef Q_OS_WIN
std::unique_ptr<InstalledPrograms> InstalledPrograms::system() {
    return std::make_unique<LinuxInstalledPrograms>(LinuxInstalledPrograms::systemLocations());
}

#endif
