#pragma once

#include <QStringList>
#include <memory>

// Display names of the programs installed on this machine that can be
// uninstalled. Windows: the uninstall keys of the registry; Linux: the desktop
// entries that belong to a package and the package database.
class InstalledPrograms {
public:
    virtual ~InstalledPrograms() = default;
    virtual QStringList displayNames() const = 0;

    // The source for this platform.
    static std::unique_ptr<InstalledPrograms> system();
};

// Whether a list of display names shows AutoFirma (any letter case).
bool containsAutoFirma(const QStringList& displayNames);
