// Saves that fail or are cut short: the previous file stays byte for byte,
// the error names the file, and no half-written document appears.

#include "HostileFiles.h"

#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "storage/IniFile.h"
#include "storage/InvoiceImport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

enum class Fault {
    ReadOnlyFolder,
    ReadOnlyFile,
    FullDiskFileSizeLimit,
    FullDiskSmallTmpfs,
    ParentIsAFile,
    TargetIsAFolder,
    MissingFolder,
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A small file system of its own: "disk full" and "read-only" for real, even
// as root. Needs the right to mount; otherwise the case is skipped.
class SmallTmpfs {
public:
    explicit SmallTmpfs(const QString& dir) : m_dir(dir) {
        m_mounted = HostileFiles::runningAsRoot() &&
                    run(QStringLiteral("mount"),
                        {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                         QStringLiteral("size=256k"), QStringLiteral("tmpfs"), dir});
    }
    ~SmallTmpfs() {
        if (m_mounted)
            run(QStringLiteral("umount"), {m_dir});
    }
    bool mounted() const { return m_mounted; }
    bool makeReadOnly() {
        return run(QStringLiteral("mount"),
                   {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_dir});
    }

private:
    QString m_dir;
    bool m_mounted = false;
};

#ifdef Q_OS_UNIX
// Every write past `bytes` fails with "file too large" while it lives: a full
// disk that works for any user.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
};
#else
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long) {}
};
#endif

// The place of a fault under a folder: the target path, or a reason to skip.
// `arm` runs right before the save; `sizeLimit` asks for a FileSizeLimit
// around it.
struct Scene {
    QString target;
    QString skip;
    std::unique_ptr<SmallTmpfs> tmpfs;
    bool sizeLimit = false;
    std::function<bool()> arm = [] { return true; };
};

const QByteArray OldContent = "[MISDATOS]\r\nNOMBRE=Talleres Íñiguez\r\nENTIDAD=2100\r\n";

Scene prepare(Fault fault, const QString& root, const QString& fileName) {
    Scene scene;
    const QString folder = root + QStringLiteral("/carpeta");
    QDir().mkpath(folder);
    scene.target = folder + u'/' + fileName;
    switch (fault) {
    case Fault::ReadOnlyFolder:
        if (HostileFiles::runningAsRoot()) {
            scene.tmpfs = std::make_unique<SmallTmpfs>(folder);
            if (!scene.tmpfs->mounted()) {
                scene.skip = QStringLiteral("root writes anywhere and cannot mount here");
                break;
            }
            HostileFiles::write(scene.target, OldContent);
            SmallTmpfs* fs = scene.tmpfs.get();
            scene.arm = [fs] { return fs->makeReadOnly(); };
        } else {
            HostileFiles::write(scene.target, OldContent);
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        break;
    case Fault::ReadOnlyFile:
        if (HostileFiles::runningAsRoot()) {
            scene.skip = QStringLiteral("root may replace a read-only file");
            break;
        }
        HostileFiles::write(scene.target, OldContent);
        QFile::setPermissions(scene.target, QFileDevice::ReadOwner);
        break;
    case Fault::FullDiskFileSizeLimit:
#ifdef Q_OS_UNIX
        HostileFiles::write(scene.target, OldContent);
        scene.sizeLimit = true;
#else
        scene.skip = QStringLiteral("no file size limit here");
#endif
        break;
    case Fault::FullDiskSmallTmpfs:
        scene.tmpfs = std::make_unique<SmallTmpfs>(folder);
        if (!scene.tmpfs->mounted()) {
            scene.skip = QStringLiteral("cannot mount a small tmpfs here (needs root)");
            break;
        }
        HostileFiles::write(scene.target, OldContent);
        break;
    case Fault::ParentIsAFile:
        HostileFiles::write(folder + QStringLiteral("/fichero"), OldContent);
        scene.target = folder + QStringLiteral("/fichero/") + fileName;
        break;
    case Fault::TargetIsAFolder:
        QDir().mkpath(scene.target);
        break;
    case Fault::MissingFolder:
        scene.target = folder + QStringLiteral("/no existe/") + fileName;
        break;
    }
    return scene;
}

void addFaultRows() {
    QTest::addColumn<Fault>("fault");
    QTest::newRow("read-only folder") << Fault::ReadOnlyFolder;
    QTest::newRow("read-only file") << Fault::ReadOnlyFile;
    QTest::newRow("full disk (file size limit)") << Fault::FullDiskFileSizeLimit;
    QTest::newRow("full disk (small tmpfs)") << Fault::FullDiskSmallTmpfs;
    QTest::newRow("parent is a file") << Fault::ParentIsAFile;
    QTest::newRow("target is a folder") << Fault::TargetIsAFolder;
    QTest::newRow("missing folder") << Fault::MissingFolder;
}

// The names in the target's folder, to see that nothing was left behind.
QStringList folderEntries(const QString& target) {
    return QFileInfo(target).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                             QDir::Name);
}

// Runs the save with the scene's size limit around it; the error it raised, or
// an empty text when it went through.
QString saveError(const Scene& scene, const std::function<void()>& save) {
    std::optional<FileSizeLimit> limit;
    if (scene.sizeLimit)
        limit.emplace(16 * 1024);
    try {
        save();
    } catch (const AppError& e) {
        return e.message();
    }
    return {};
}

// A read-only folder made writable again, so that the temporary folder goes.
void restoreFolder(Fault fault, const Scene& scene) {
    if (fault == Fault::ReadOnlyFolder && !HostileFiles::runningAsRoot())
        QFile::setPermissions(QFileInfo(scene.target).path(), QFileDevice::ReadOwner |
                                                                  QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
}

} // namespace

class tst_SaveFaults : public QObject {
    Q_OBJECT

private slots:
    void settingsSaveFails_data() { addFaultRows(); }
    void settingsSaveFails();
    void documentSaveFails_data() { addFaultRows(); }
    void documentSaveFails();
    void settingsSaveKilledHalfway();
    void smallSaveWithoutRoom_data();
    void smallSaveWithoutRoom();
};

void tst_SaveFaults::settingsSaveFails() {
    QFETCH(Fault, fault);
    QTemporaryDir dir;
    Scene scene = prepare(fault, dir.path(), QStringLiteral("Registro.Ini"));
    if (!scene.skip.isEmpty())
        QSKIP(qPrintable(scene.skip));
    const QByteArray before = readAll(scene.target);
    const QStringList entriesBefore = folderEntries(scene.target);

    IniFile ini(scene.target);
    // Big enough to overflow the small file systems and the size limit.
    ini.writeString(QStringLiteral("MISDATOS"), QStringLiteral("NOMBRE"), QString(600000, u'n'));
    QVERIFY(scene.arm());
    const QString error = saveError(scene, [&] { ini.save(); });
    // The file's name, then the system's reason.
    const QString named = QStringLiteral("No se puede guardar ") +
                          QDir::toNativeSeparators(QFileInfo(scene.target).absoluteFilePath()) +
                          QStringLiteral(": ");
    QVERIFY2(error.startsWith(named) && error.size() > named.size(), qPrintable(error));
    QCOMPARE(readAll(scene.target), before);
    QCOMPARE(folderEntries(scene.target), entriesBefore);
    restoreFolder(fault, scene);
}

void tst_SaveFaults::documentSaveFails() {
    QFETCH(Fault, fault);
    QTemporaryDir dir;
    // An import beside the target gives a document of about 2 MB.
    const QString importPath = dir.filePath(QStringLiteral("F1.ini"));
    QByteArray lines;
    for (int n = 1; n <= 2000; ++n)
        lines += "NOMBRE" + QByteArray::number(n) + "=Línea\nPRECIO" + QByteArray::number(n) +
                 "=1,5\nIVA" + QByteArray::number(n) + "=21\n";
    HostileFiles::write(importPath, HostileFiles::validHead("2000") + lines);
    InvoiceRecord record;
    InvoiceImport::importFile(record, importPath, true);

    Scene scene = prepare(fault, dir.path(), QStringLiteral("F1.XML"));
    if (!scene.skip.isEmpty())
        QSKIP(qPrintable(scene.skip));
    const QByteArray before = readAll(scene.target);
    const QStringList entriesBefore = folderEntries(scene.target);

    QVERIFY(scene.arm());
    const QString error = saveError(scene, [&] { FacturaeWriter::save(record, scene.target); });
    QVERIFY2(!error.isEmpty(), "a failed save must raise an error");
    QCOMPARE(readAll(scene.target), before);
    QCOMPARE(folderEntries(scene.target), entriesBefore);
    restoreFolder(fault, scene);
}

// A helper process saves two big contents in turn; killed at random moments,
// it must leave one of them whole, never a mix or a cut.
void tst_SaveFaults::settingsSaveKilledHalfway() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("Registro.Ini"));
    QByteArray contents[2];
    for (int i = 0; i < 2; ++i) {
        QByteArray text = "[MISDATOS]\n";
        for (int n = 0; n < 60000; ++n)
            text += "CLAVE" + QByteArray::number(n) + "=" + QByteArray(20 + i * 7, 'a' + i) + "\n";
        contents[i] = text;
        HostileFiles::write(dir.filePath(QStringLiteral("source%1").arg(i)), text);
    }
    HostileFiles::write(target, contents[1]);

    QRandomGenerator random(4242);
    int killedAfterSaves = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess saver;
        saver.start(QStringLiteral(ORVANE_INI_SAVE_LOOP),
                    {target, dir.filePath(QStringLiteral("source0")),
                     dir.filePath(QStringLiteral("source1"))});
        QVERIFY(saver.waitForStarted());
        // Let it finish at least one save, then strike somewhere in a later one.
        QVERIFY(saver.waitForReadyRead(30000));
        QTest::qSleep(int(random.bounded(5, 120)));
        saver.kill();
        QVERIFY(saver.waitForFinished(30000));
        killedAfterSaves += saver.readAllStandardOutput().count('\n');
        const QByteArray now = readAll(target);
        QVERIFY2(
            now == contents[0] || now == contents[1],
            qPrintable(
                QStringLiteral("round %1: %2 bytes, neither content").arg(round).arg(now.size())));
    }
    QVERIFY(killedAfterSaves >= 12);
    qInfo("killed 12 times after %d saves in all", killedAfterSaves);
}

namespace {

enum class Room { FileSizeLimit, NoWriteAtAll, Plenty, NearlyFullTmpfs, FullTmpfs };

// Fills the small file system until a write fails, then frees `spare` bytes.
bool fillUp(const QString& folder, qint64 spare) {
    QFile filler(folder + QStringLiteral("/relleno"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'r');
    while (filler.write(block) == block.size()) {
    }
    const qint64 size = QFileInfo(filler.fileName()).size();
    return filler.resize(qMax<qint64>(0, size - spare));
}

} // namespace

// Small files are where a write buffer hides the fault: the last piece of the
// file is written only while committing. Each save runs in a helper process
// so that a file-size limit binds it alone.
void tst_SaveFaults::smallSaveWithoutRoom_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("size");
    QTest::addColumn<Room>("room");
    // document: lines; registro, concellos: characters in the values.
    QTest::newRow("4 KB document, 1 KB limit") << "document" << 2 << Room::FileSizeLimit;
    QTest::newRow("2 KB Registro.Ini, 1 KB limit") << "registro" << 1000 << Room::FileSizeLimit;
    QTest::newRow("2 KB Concellos.Ini, 1 KB limit") << "concellos" << 400 << Room::FileSizeLimit;
    QTest::newRow("tiny Registro.Ini, no byte may be written")
        << "registro" << 1 << Room::NoWriteAtAll;
    QTest::newRow("document with room") << "document" << 2 << Room::Plenty;
    QTest::newRow("Registro.Ini with room") << "registro" << 1000 << Room::Plenty;
    QTest::newRow("Concellos.Ini with room") << "concellos" << 400 << Room::Plenty;
    QTest::newRow("document, nearly full tmpfs") << "document" << 4 << Room::NearlyFullTmpfs;
    QTest::newRow("Registro.Ini, nearly full tmpfs") << "registro" << 4000 << Room::NearlyFullTmpfs;
    QTest::newRow("Concellos.Ini, nearly full tmpfs")
        << "concellos" << 1500 << Room::NearlyFullTmpfs;
    QTest::newRow("document, full tmpfs") << "document" << 2 << Room::FullTmpfs;
    QTest::newRow("Registro.Ini, full tmpfs") << "registro" << 100 << Room::FullTmpfs;
    QTest::newRow("Concellos.Ini, full tmpfs") << "concellos" << 10 << Room::FullTmpfs;
}

void tst_SaveFaults::smallSaveWithoutRoom() {
    QFETCH(QString, kind);
    QFETCH(int, size);
    QFETCH(Room, room);
#ifndef Q_OS_UNIX
    if (room != Room::Plenty)
        QSKIP("no file size limit or tmpfs here");
#endif
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("carpeta"));
    QDir().mkpath(folder);
    std::unique_ptr<SmallTmpfs> tmpfs;
    if (room == Room::NearlyFullTmpfs || room == Room::FullTmpfs) {
        tmpfs = std::make_unique<SmallTmpfs>(folder);
        if (!tmpfs->mounted())
            QSKIP("cannot mount a small tmpfs here (needs root)");
    }
    QString target, written;
    QByteArray before;
    if (kind == u"document") {
        target = written = folder + QStringLiteral("/F1.XML");
        before = QByteArray(7000, 'o');
    } else if (kind == u"registro") {
        target = written = folder + QStringLiteral("/Registro.Ini");
        before = OldContent;
    } else {
        target = folder;
        written = folder + QStringLiteral("/Concellos.Ini");
        before = "[REGISTRO]\nCUANTOS=1\n[CONCELLOS]\n1=AMES\n[AMES]\nORGANO=L01\n";
    }
    HostileFiles::write(written, before);
    if (room == Room::NearlyFullTmpfs)
        QVERIFY(fillUp(folder, 4096));
    else if (room == Room::FullTmpfs)
        QVERIFY(fillUp(folder, 0));
    const QStringList entriesBefore = folderEntries(written);

    const qint64 limit = room == Room::FileSizeLimit ? 1024 : room == Room::NoWriteAtAll ? 0 : -1;
    QProcess saver;
    saver.start(QStringLiteral(ORVANE_SMALL_SAVE),
                {kind, target, QString::number(size), QString::number(limit)});
    QVERIFY(saver.waitForFinished(30000));
    const QString error = QString::fromUtf8(saver.readAllStandardError()).trimmed();
    const QByteArray after = readAll(written);
    if (room == Room::Plenty) {
        QVERIFY2(saver.exitCode() == 0, qPrintable(error));
        QVERIFY(after != before);
        QVERIFY2(after.size() > 1024, "the content must be bigger than the limits used above");
        QVERIFY(kind != u"document" || after.size() > 4000);
        QVERIFY(after.endsWith('\n'));
        return;
    }
    QCOMPARE(saver.exitCode(), 1);
    QVERIFY2(error.contains(QDir::toNativeSeparators(written).section(u'/', -1)),
             qPrintable(error));
    // The system's reason follows the file's name, in Spanish.
    QVERIFY2(error.contains(QStringLiteral("tamaño máximo permitido")) ||
                 error.contains(QStringLiteral("no queda espacio")),
             qPrintable(error));
    QCOMPARE(after, before);
    QCOMPARE(folderEntries(written), entriesBefore);
}

QTEST_GUILESS_MAIN(tst_SaveFaults)
#include "tst_SaveFaults.moc"
