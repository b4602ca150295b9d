#include <QtGlobal>

#ifdef Q_OS_WIN

#include "signing/InstalledPrograms.h"

#include <QSettings>

namespace {

// The uninstall list of the machine: every program that carries both a
// display name and an uninstall command. Both registry views are read, so
// 32-bit programs on a 64-bit system are found too. Read access is enough; a
// key that cannot be opened contributes nothing.
class WindowsInstalledPrograms final : public InstalledPrograms {
public:
    QStringList displayNames() const override {
        QStringList names;
        readView(QSettings::Registry64Format, names);
        readView(QSettings::Registry32Format, names);
        names.removeDuplicates();
        names.sort(Qt::CaseInsensitive);
        return names;
    }

private:
    static void readView(QSettings::Format format, QStringList& names) {
        QSettings uninstall(
            QStringLiteral(
                "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"),
            format);
        const QStringList programs = uninstall.childGroups();
        for (const QString& program : programs) {
            uninstall.beginGroup(program);
            const QStringList values = uninstall.childKeys();
            if (values.contains(QStringLiteral("DisplayName"), Qt::CaseInsensitive) &&
                values.contains(QStringLiteral("UninstallString"), Qt::CaseInsensitive)) {
                const QString name = uninstall.value(QStringLiteral("DisplayName")).toString();
                if (!name.isEmpty())
                    names.append(name);
            }
            uninstall.endGroup();
        }
    }
};

} // namespace

std::unique_ptr<InstalledPrograms> InstalledPrograms::system() {
    return std::make_unique<WindowsInstalledPrograms>();
}

#endif
