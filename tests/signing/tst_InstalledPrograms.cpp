#include "signing/InstalledProgramsLinux.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray entry(const QByteArray& name) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=x\n";
}

} // namespace

class tst_InstalledPrograms : public QObject {
    Q_OBJECT

private slots:
    void containsAutoFirma_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<bool>("found");
        QTest::newRow("exact") << QStringList{"AutoFirma"} << true;
        QTest::newRow("inside a name")
            << QStringList{"GIMP", "Cliente @firma / autofirma 1.8"} << true;
        QTest::newRow("upper case") << QStringList{"AUTOFIRMA"} << true;
        QTest::newRow("split") << QStringList{"Auto Firma", "firma"} << false;
        // Only a to z change case: a dotless ı is not an i.
        QTest::newRow("look-alike letter") << QStringList{"autofırma"} << false;
        QTest::newRow("none") << QStringList() << false;
    }
    void containsAutoFirma() {
        QFETCH(QStringList, names);
        QFETCH(bool, found);
        QCOMPARE(::containsAutoFirma(names), found);
    }

    void desktopEntryName_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << entry("AutoFirma") << "AutoFirma";
        QTest::newRow("translated names first")
            << QByteArray("# comment\n[Desktop Entry]\nName[es]=Firma\nName=AutoFirma\n")
            << "AutoFirma";
        QTest::newRow("action group ignored")
            << QByteArray("[Desktop Action New]\nName=Otra\n[Desktop Entry]\nName=Visor\n")
            << "Visor";
        QTest::newRow("action after the entry")
            << QByteArray("[Desktop Entry]\nExec=a\n[Desktop Action New]\nName=Otra\n") << "";
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nName=AutoFirma\nHidden=true\n")
                                << "";
        QTest::newRow("UTF-8 and CRLF")
            << QByteArray("[Desktop Entry]\r\nName=Cámara\r\n") << "Cámara";
        QTest::newRow("not an entry") << QByteArray("\x89PNG\r\n\x1a\n") << "";
    }
    void desktopEntryName() {
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QCOMPARE(InstalledProgramsText::desktopEntryName(content), name);
    }

    void installedPackages() {
        const QByteArray status =
            "Package: autofirma\nStatus: install ok installed\nVersion: 1.8\n"
            "Description: Cliente de firma electronica\n Long text mentioning Package: fake\n"
            "\n"
            "Package: removed-tool\nStatus: deinstall ok config-files\n"
            "Description: Left-over configuration\n"
            "\n"
            "Package: broken\nStatus: install reinstreq half-installed\n"
            "\n"
            "Package: held\nStatus: hold ok installed\n";
        QCOMPARE(InstalledProgramsText::installedPackages(status),
                 (QStringList{"autofirma", "Cliente de firma electronica", "held"}));
    }

    // Desktop entries count only when a package owns them (or the folder is a
    // flatpak/snap export); installed packages count by name and description.
    void linuxSource() {
#ifdef Q_OS_WIN
        QSKIP("uses symbolic links");
#endif
        QTemporaryDir root;
        const QString apps = root.filePath("usr/share/applications");
        const QString local = root.filePath("usr/local/share/applications");
        const QString flatpak = root.filePath("flatpak/exports/share/applications");
        const QString info = root.filePath("dpkg/info");

        writeFile(apps + "/afirma.desktop", entry("AutoFirma"));
        writeFile(apps + "/kde/sub.desktop", entry("Editor KDE"));
        writeFile(apps + "/handmade.desktop", entry("Sin paquete"));
        writeFile(local + "/linked.desktop", entry("Enlazado"));
        writeFile(flatpak + "/org.example.Visor.desktop", entry("Visor"));
        writeFile(info + "/autofirma.list",
                  ("/.\n/usr/share/applications\n" + apps + "/afirma.desktop\n" + apps +
                   "/kde/sub.desktop\n" + root.filePath("opt/real.desktop") + "\n")
                      .toUtf8());
        writeFile(root.filePath("opt/real.desktop"), entry("Enlazado"));
        QFile::remove(local + "/linked.desktop");
        QVERIFY(QFile::link(root.filePath("opt/real.desktop"), local + "/linked.desktop"));
        writeFile(info + "/other.md5sums", apps.toUtf8() + "/handmade.desktop\n");
        writeFile(root.filePath("dpkg/status"),
                  "Package: zeta\nStatus: install ok installed\nDescription: Zeta tool\n");

        LinuxInstalledPrograms::Locations where;
        where.applicationDirs = {apps, local, flatpak, root.filePath("missing")};
        where.packagedAppDirs = {flatpak};
        where.dpkgInfoDir = info;
        where.dpkgStatusFile = root.filePath("dpkg/status");
        const QStringList names = LinuxInstalledPrograms(where).displayNames();
        QCOMPARE(names, (QStringList{"AutoFirma", "Editor KDE", "Enlazado", "Visor", "zeta",
                                     "Zeta tool"}));
        QVERIFY(::containsAutoFirma(names));

        // Nothing readable: an empty list, not an error.
        LinuxInstalledPrograms::Locations nowhere;
        nowhere.applicationDirs = {root.filePath("missing")};
        nowhere.dpkgInfoDir = root.filePath("missing");
        nowhere.dpkgStatusFile = root.filePath("missing/status");
        QVERIFY(LinuxInstalledPrograms(nowhere).displayNames().isEmpty());
    }

    void systemLocationsFollowXdgDataDirs() {
        qputenv("XDG_DATA_DIRS", "/srv/share:/usr/share/:");
        const auto where = LinuxInstalledPrograms::systemLocations();
        QCOMPARE(where.applicationDirs.mid(0, 3),
                 (QStringList{"/srv/share/applications", "/usr/share/applications",
                              "/usr/local/share/applications"}));
        QVERIFY(where.applicationDirs.contains("/var/lib/flatpak/exports/share/applications"));
        QVERIFY(where.packagedAppDirs.contains("/var/lib/snapd/desktop/applications"));
        qunsetenv("XDG_DATA_DIRS");
    }
};

QTEST_GUILESS_MAIN(tst_InstalledPrograms)
#include "tst_InstalledPrograms.moc"
