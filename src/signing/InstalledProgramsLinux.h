#pragma once

#include "signing/InstalledPrograms.h"

#include <QSet>
#include <QString>
#include <QStringList>

// Installed programs on a Debian-like system: the desktop entries of the
// application folders that belong to a package (a dpkg file list, or a
// flatpak or snap export folder), and the installed packages of the package
// database, whose names and one-line descriptions count as display names.
class LinuxInstalledPrograms final : public InstalledPrograms {
public:
    struct Locations {
        QStringList applicationDirs; // folders holding *.desktop files
        QStringList packagedAppDirs; // of those, folders whose entries all belong to a package
        QString dpkgInfoDir;         // folder of the *.list files
        QString dpkgStatusFile;      // the package database
    };

    // The folders of this machine.
    static Locations systemLocations();

    explicit LinuxInstalledPrograms(Locations locations);
    QStringList displayNames() const override;

private:
    QSet<QString> packagedFiles() const;
    QStringList desktopEntryNames(const QSet<QString>& packaged) const;
    QStringList installedPackageNames() const;

    Locations m_locations;
};

namespace InstalledProgramsText {

// Name= of the [Desktop Entry] group; empty for an entry marked Hidden.
QString desktopEntryName(const QByteArray& content);

// Name and one-line description of every package the status text marks as
// installed.
QStringList installedPackages(const QByteArray& statusText);

} // namespace InstalledProgramsText
