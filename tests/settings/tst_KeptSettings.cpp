#include "HostileFiles.h"
#include "common/AppError.h"
#include "settings/AppFiles.h"
#include "settings/InvoiceNumbering.h"
#include "settings/RememberedFolders.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A settings file that could not be read whole is never written, whatever
// the program wants to remember in it: the folders and the last numbers are
// kept for the run instead.
class tst_KeptSettings : public QObject {
    Q_OBJECT
private slots:
    void unreadFileIsNeverWritten_data();
    void unreadFileIsNeverWritten();
};

namespace {

enum class Registro { Readable, Over16MB, Unreadable };

const QByteArray Head = "[MISDATOS]\nNOMBRE=Ana S.L.\n[AUTOFIRMA]\nRUTAPROGRAMA=/opt/af\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

Q_DECLARE_METATYPE(Registro)

void tst_KeptSettings::unreadFileIsNeverWritten_data() {
    QTest::addColumn<Registro>("registro");
    QTest::newRow("readable: written") << Registro::Readable;
    QTest::newRow("over 16 MB") << Registro::Over16MB;
    QTest::newRow("no read permission") << Registro::Unreadable;
}

void tst_KeptSettings::unreadFileIsNeverWritten() {
    QFETCH(Registro, registro);
    if (registro == Registro::Unreadable && HostileFiles::runningAsRoot())
        QSKIP("root reads any file");
    QTemporaryDir dir;
    const QString path = AppFiles::registroIni(dir.path());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(Head);
        if (registro == Registro::Over16MB)
            QVERIFY(file.resize(17LL * 1024 * 1024)); // sparse
    }
    const QByteArray before = readAll(path);
    if (registro == Registro::Unreadable)
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    const QString folder = dir.filePath(QStringLiteral("facturas"));
    QVERIFY(QDir().mkpath(folder));

    RememberedFolders::remember(dir.path(), RememberedFolders::Kind::Save,
                                folder + QStringLiteral("/F1.XML"));
    InvoiceNumbering::remember(dir.path(), QStringLiteral("A"), QStringLiteral("41"));
    // Remembered either way, in the file or for the run.
    QCOMPARE(RememberedFolders::folder(dir.path(), RememberedFolders::Kind::Save),
             QDir::toNativeSeparators(folder));
    QCOMPARE(InvoiceNumbering::last(dir.path(), QStringLiteral("A")), QStringLiteral("41"));
    QCOMPARE(InvoiceNumbering::proposal(dir.path(), QStringLiteral("A"), QString()),
             QStringLiteral("42"));

    IniFile ini(path);
    if (registro == Registro::Readable) {
        QCOMPARE(ini.readProblem(), QString());
        QCOMPARE(ini.readString(QStringLiteral("NUMERACION"), QStringLiteral("A")),
                 QStringLiteral("41"));
        QCOMPARE(ini.readString(QStringLiteral("AUTOFIRMA"), QStringLiteral("RUTAPROGRAMA")),
                 QStringLiteral("/opt/af"));
        return;
    }
    QVERIFY(!ini.readProblem().isEmpty());
    // Nothing replaces it, not even a save asked for outright.
    ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("NOMBRE"), QStringLiteral("Otra"));
    try {
        ini.save();
        QFAIL("the save was not refused");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("No se ha guardado nada en ")),
                 qPrintable(e.message()));
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(readAll(path), before);
}

QTEST_GUILESS_MAIN(tst_KeptSettings)
#include "tst_KeptSettings.moc"
