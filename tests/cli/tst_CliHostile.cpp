// orvane-cli generate on hostile files: exit status 1 with the message, or 0
// with a well-formed document, in bounded time and never by a signal.

#include "../settings/HostileFiles.h"
#include "CliRunner.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using HostileFiles::Kind;

namespace {

using CliRunner::Run;

// Runs orvane-cli generate; with a prefix such as setpriv, through it.
Run generate(const QStringList& arguments, const QStringList& prefix = {}) {
    const QStringList command =
        prefix + QStringList{QStringLiteral(ORVANE_CLI_PATH), QStringLiteral("generate")} +
        arguments;
    return CliRunner::run(command.first(), command.mid(1));
}

QString wellFormed(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open ") + path;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd())
        xml.readNext();
    return xml.hasError() ? xml.errorString() : QString();
}

} // namespace

class tst_CliHostile : public QObject {
    Q_OBJECT

private slots:
    void hostileImport_data();
    void hostileImport();
    void unusableRegistroIni_data();
    void unusableRegistroIni();
    void unwritableOutput();
    void outputNeverReplacesWhatItMustNot_data();
    void outputNeverReplacesWhatItMustNot();
    void batchNeverReplacesItsOwnFiles_data();
    void batchNeverReplacesItsOwnFiles();
    void unreadableAsAnotherUser();
};

void tst_CliHostile::hostileImport_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString noDate = QStringLiteral(
        "FECHA: falta la fecha de la factura; escriba una fecha válida como dd/mm/aaaa.");
    QTest::newRow("empty file") << Kind::Empty << 1 << noDate;
    QTest::newRow("binary garbage") << Kind::Garbage << 1 << noDate;
    QTest::newRow("200 MB") << Kind::Huge200MB << 1
                            << QStringLiteral("es demasiado grande (el máximo es de 16 MB)");
    QTest::newRow("10 MB line") << Kind::Line10MB << 0 << QString();
    QTest::newRow("LINEAS=1000000")
        << Kind::Lineas1Million << 1
        << QStringLiteral("indica 1000000 líneas; el máximo que admite una factura es 100000.");
    QTest::newRow("1,000,000 text lines in LINEAS") << Kind::Million1TextLines << 0 << QString();
    QTest::newRow("LINEAS=2^31") << Kind::Lineas2Pow31 << 0 << QString();
    QTest::newRow("1 MB description") << Kind::Description1MB << 0 << QString();
    QTest::newRow("invalid UTF-8") << Kind::InvalidUtf8 << 0 << QString();
    QTest::newRow("UTF-16LE without BOM") << Kind::Utf16LeNoBom << 0 << QString();
    QTest::newRow("UTF-16BE without BOM") << Kind::Utf16BeNoBom << 0 << QString();
    QTest::newRow("NUL bytes") << Kind::NulBytes << 0 << QString();
    QTest::newRow("folder") << Kind::Folder << 1
                            << QStringLiteral("es una carpeta, no un fichero.");
    QTest::newRow("no read permission")
        << Kind::NoReadPermission << 1 << QStringLiteral("No se puede leer el fichero");
    QTest::newRow("named pipe") << Kind::Pipe << 1 << QStringLiteral("no es un fichero normal.");
    QTest::newRow("blanks, quotes, accents in the path") << Kind::OddPath << 0 << QString();
    QTest::newRow("missing file") << Kind::Missing << 1 << QStringLiteral("No existe el fichero");
}

void tst_CliHostile::hostileImport() {
    QFETCH(Kind, kind);
    QFETCH(int, status);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString cannot;
    const QString path = HostileFiles::make(kind, QDir(dir.path()), cannot);
    if (path.isEmpty())
        QSKIP(qPrintable(cannot));

    const Run run = generate({QStringLiteral("--home"), dir.path(), path});
    QCOMPARE(run.status, status);
    QVERIFY2(run.ms < 60000, qPrintable(QString::number(run.ms)));
    const QString beside =
        QFileInfo(path).path() + u'/' + QFileInfo(path).completeBaseName() + QStringLiteral(".XML");
    if (status == 0) {
        // What the document check says about these invoices, nothing else.
        QVERIFY2(CliRunner::onlyFindings(run.err, beside), qPrintable(run.err));
        QCOMPARE(run.out, beside + u'\n');
        QCOMPARE(wellFormed(beside), QString());
    } else {
        // "<input>: <message>." on one line, nothing on stdout, no document.
        QVERIFY2(run.err.startsWith(path + QStringLiteral(": ")), qPrintable(run.err));
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.err.endsWith(u'\n') && run.err.count(u'\n') == 1);
        QCOMPARE(run.out, QString());
        QVERIFY(!QFileInfo::exists(beside));
    }
}

// The issuer's settings are read leniently: whatever Registro.Ini is, the
// document is still written from the import.
void tst_CliHostile::unusableRegistroIni_data() {
    QTest::addColumn<Kind>("kind");
    QTest::newRow("200 MB") << Kind::Huge200MB;
    QTest::newRow("binary garbage") << Kind::Garbage;
    QTest::newRow("folder") << Kind::Folder;
    QTest::newRow("named pipe") << Kind::Pipe;
}

void tst_CliHostile::unusableRegistroIni() {
    QFETCH(Kind, kind);
    QTemporaryDir home;
    QString cannot;
    const QString made = HostileFiles::make(kind, QDir(home.path()), cannot);
    if (made.isEmpty())
        QSKIP(qPrintable(cannot));
    QVERIFY(QFile::rename(made, home.filePath(QStringLiteral("Registro.Ini"))));

    QTemporaryDir work;
    const QString input = work.filePath(QStringLiteral("F1.ini"));
    HostileFiles::write(input, HostileFiles::validHead());
    const Run run = generate({QStringLiteral("--home"), home.path(), input});
    QVERIFY2(CliRunner::onlyFindings(run.err, work.filePath(QStringLiteral("F1.XML"))),
             qPrintable(run.err));
    QCOMPARE(run.status, 0);
    QCOMPARE(wellFormed(work.filePath(QStringLiteral("F1.XML"))), QString());
}

// A document that cannot be written: status 1, the message, and no file.
void tst_CliHostile::unwritableOutput() {
    QTemporaryDir work;
    const QString input = work.filePath(QStringLiteral("F1.ini"));
    HostileFiles::write(input, HostileFiles::validHead());
    const QString output = work.filePath(QStringLiteral("no existe/F1.xml"));
    const Run run =
        generate({QStringLiteral("--home"), work.path(), QStringLiteral("-o"), output, input});
    QCOMPARE(run.status, 1);
    // After what the check found, the reason the document is not there.
    const QString last = run.err.section(u'\n', -2, -2);
    QVERIFY2(last.startsWith(input + QStringLiteral(": ")) && last.contains(output),
             qPrintable(run.err));
    QVERIFY(CliRunner::onlyFindings(run.err.left(run.err.size() - last.size() - 1), output));
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("F1.ini")});
}

namespace {

enum class Target {
    ImportNamedXml, // no -o: the document's name beside the import is the import
    ImportItself,
    LinkToImport,
    HardLinkToImport,
    OtherSpellingOfImport,
    NamedPipe,
    Folder,
    Device,
    LinkToRegularFile,
    SignedInvoice, // -o names a signed invoice (.XSIG) that exists
    SettingsFile,  // Registro.Ini of the --home folder
};

} // namespace

// The document never takes the place of its own import file, however that
// file is named, nor of anything but a regular file; a link to a regular
// file is followed and kept.
void tst_CliHostile::outputNeverReplacesWhatItMustNot_data() {
    QTest::addColumn<Target>("target");
    QTest::addColumn<QString>("reason");
    const QString ownImport = QStringLiteral("es el fichero de importación de esta factura");
    QTest::newRow("import named F1.XML, no -o") << Target::ImportNamedXml << ownImport;
    QTest::newRow("-o the import file") << Target::ImportItself << ownImport;
    QTest::newRow("-o a link to the import file") << Target::LinkToImport << ownImport;
    QTest::newRow("-o a hard link to the import file") << Target::HardLinkToImport << ownImport;
    QTest::newRow("-o the import file by another path")
        << Target::OtherSpellingOfImport << ownImport;
    QTest::newRow("-o a named pipe")
        << Target::NamedPipe << QStringLiteral("no es un fichero normal");
    QTest::newRow("-o a folder") << Target::Folder
                                 << QStringLiteral("es una carpeta, no un fichero");
    QTest::newRow("-o a device") << Target::Device << QStringLiteral("no es un fichero normal");
    QTest::newRow("-o a link to a regular file") << Target::LinkToRegularFile << QString();
    QTest::newRow("-o a signed invoice")
        << Target::SignedInvoice << QStringLiteral("es el de una factura firmada (.XSIG)");
    QTest::newRow("-o the settings file")
        << Target::SettingsFile << QStringLiteral("es Registro.Ini, la configuración del programa");
}

void tst_CliHostile::outputNeverReplacesWhatItMustNot() {
    QFETCH(Target, target);
    QFETCH(QString, reason);
    QTemporaryDir work;
    const QByteArray importBytes = HostileFiles::validHead();
    QString input = work.filePath(QStringLiteral("F1.ini"));
    QString output = work.filePath(QStringLiteral("salida.xml"));
    auto run = [](const QStringList& command) {
        QProcess process;
        process.start(command.first(), command.mid(1));
        return process.waitForFinished(10000) && process.exitCode() == 0;
    };
    switch (target) {
    case Target::ImportNamedXml:
        input = work.filePath(QStringLiteral("F1.XML"));
        output.clear();
        break;
    case Target::ImportItself:
        output = input;
        break;
    case Target::LinkToImport:
        QVERIFY(QFile::link(input, output));
        break;
    case Target::HardLinkToImport:
        HostileFiles::write(input, importBytes);
        if (!run({QStringLiteral("ln"), input, output}))
            QSKIP("cannot make a hard link here");
        break;
    case Target::OtherSpellingOfImport:
        QDir(work.path()).mkdir(QStringLiteral("sub"));
        output = work.filePath(QStringLiteral("sub/../F1.ini"));
        break;
    case Target::NamedPipe:
        if (!run({QStringLiteral("mkfifo"), output}))
            QSKIP("cannot make a named pipe here");
        break;
    case Target::Folder:
        QVERIFY(QDir(work.path()).mkdir(QStringLiteral("salida.xml")));
        break;
    case Target::Device:
        // A device of our own (the null device's numbers), never the real one.
        if (!HostileFiles::runningAsRoot() ||
            !run({QStringLiteral("mknod"), output, QStringLiteral("c"), QStringLiteral("1"),
                  QStringLiteral("3")}))
            QSKIP("making a device needs root");
        break;
    case Target::LinkToRegularFile:
        HostileFiles::write(work.filePath(QStringLiteral("destino.xml")), "viejo");
        QVERIFY(QFile::link(work.filePath(QStringLiteral("destino.xml")), output));
        break;
    case Target::SignedInvoice:
        output = work.filePath(QStringLiteral("salida.XSIG"));
        HostileFiles::write(output, "firmada");
        break;
    case Target::SettingsFile:
        output = work.filePath(QStringLiteral("Registro.Ini"));
        HostileFiles::write(output, "[MISDATOS]\nNOMBRE=Ana\n");
        break;
    }
    HostileFiles::write(input, importBytes);
    const QFileInfo before(output.isEmpty() ? input : output);
    const bool wasLink = before.isSymLink(), wasFile = before.isFile(), wasDir = before.isDir();

    QStringList arguments{QStringLiteral("--home"), work.path()};
    if (!output.isEmpty())
        arguments << QStringLiteral("-o") << output;
    const Run result = generate(arguments << input);

    QFile importFile(input);
    QVERIFY(importFile.open(QIODevice::ReadOnly));
    QCOMPARE(importFile.readAll(), importBytes);
    const QFileInfo after(output.isEmpty() ? input : output);
    QCOMPARE(after.isSymLink(), wasLink);
    QCOMPARE(after.isDir(), wasDir);
    if (reason.isEmpty()) {
        QCOMPARE(result.status, 0);
        QCOMPARE(wellFormed(work.filePath(QStringLiteral("destino.xml"))), QString());
        return;
    }
    QCOMPARE(result.status, 1);
    QVERIFY2(
        result.err.startsWith(input + QStringLiteral(": No se puede guardar la factura en ")) &&
            result.err.contains(reason),
        qPrintable(result.err));
    QCOMPARE(result.out, QString());
    QCOMPARE(after.isFile(), wasFile);
    if (target == Target::SettingsFile)
        QCOMPARE(CliRunner::readAll(output), QByteArray("[MISDATOS]\nNOMBRE=Ana\n"));
    QCOMPARE(QDir(work.path())
                 .entryList(QDir::Hidden | QDir::System | QDir::AllEntries | QDir::NoDotAndDotDot)
                 .filter(QStringLiteral("salida"))
                 .size(),
             output.endsWith(QStringLiteral("salida.xml")) || target == Target::SignedInvoice ? 1
                                                                                              : 0);
    if (target == Target::SignedInvoice)
        QCOMPARE(CliRunner::readAll(output), QByteArray("firmada"));
}

// A batch whose documents would replace one another, or a file it reads, is
// refused before anything is written; the files are named.
void tst_CliHostile::batchNeverReplacesItsOwnFiles_data() {
    QTest::addColumn<QStringList>("inputs"); // made as import files; "L->T": a link to T
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("clash"); // a line of the refusal; empty: written
    QTest::newRow("names differing in case only")
        << QStringList{"a.ini", "a.INI"} << QStringList{"a.ini", "a.INI"}
        << "a.ini y a.INI escribirían la misma factura, %1/a.XML.";
    QTest::newRow("the same file twice") << QStringList{"a.ini"} << QStringList{"a.ini", "a.ini"}
                                         << "a.ini y a.ini escribirían la misma factura, %1/a.XML.";
    QTest::newRow("the same file by another path")
        << QStringList{"a.ini"} << QStringList{"a.ini", "sub/../a.ini"}
        << "a.ini y sub/../a.ini escribirían la misma factura, %1/a.XML.";
    QTest::newRow("a later input is the document of an earlier one")
        << QStringList{"x.ini", "x.XML"} << QStringList{"x.ini", "x.XML"}
        << "x.ini escribiría su factura en x.XML, que es otro fichero de importación de esta "
           "orden.";
    QTest::newRow("an earlier input is the document of a later one")
        << QStringList{"x.XML", "x.ini"} << QStringList{"x.XML", "x.ini"}
        << "x.ini escribiría su factura en x.XML, que es otro fichero de importación de esta "
           "orden.";
    QTest::newRow("the document's name is a link to another input")
        << QStringList{"a.ini", "b.ini", "b.XML->a.ini"} << QStringList{"a.ini", "b.ini"}
        << "b.ini escribiría su factura en a.ini, que es otro fichero de importación de esta "
           "orden.";
    QTest::newRow("different names")
        << QStringList{"a.ini", "b.ini"} << QStringList{"a.ini", "b.ini"} << QString();
}

void tst_CliHostile::batchNeverReplacesItsOwnFiles() {
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, arguments);
    QFETCH(QString, clash);
    QTemporaryDir work;
    QVERIFY(QDir(work.path()).mkdir(QStringLiteral("sub")));
    const QByteArray importBytes = HostileFiles::validHead();
    QMap<QString, QByteArray> before; // every file and what it holds
    for (const QString& input : inputs) {
        const QStringList link = input.split(QStringLiteral("->"));
        if (link.size() == 2) {
            QVERIFY(QFile::link(work.filePath(link[1]), work.filePath(link[0])));
        } else {
            HostileFiles::write(work.filePath(input), importBytes + input.toUtf8());
            before.insert(input, importBytes + input.toUtf8());
        }
    }
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(QStringLiteral(ORVANE_CLI_PATH),
                  QStringList{QStringLiteral("generate"), QStringLiteral("--home"), work.path()} +
                      arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QDir dir(work.path());
    if (clash.isEmpty()) {
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QFile::exists(work.filePath(QStringLiteral("a.XML"))));
        QVERIFY(QFile::exists(work.filePath(QStringLiteral("b.XML"))));
        return;
    }
    QCOMPARE(process.exitCode(), 2);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QVERIFY2(err.split(u'\n').contains(clash.arg(work.path())), qPrintable(err));
    QVERIFY(err.endsWith(QStringLiteral("No se ha escrito ninguna factura: dé a cada fichero de "
                                        "importación un nombre propio.\n")));
    // Nothing written, nothing replaced.
    QStringList files = dir.entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& input : inputs)
        files.removeOne(input.section(QStringLiteral("->"), 0, 0));
    QCOMPARE(files, QStringList());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(CliRunner::readAll(work.filePath(it.key())), it.value());
}

// Root reads any file, so as root the unreadable file is tried as "nobody".
void tst_CliHostile::unreadableAsAnotherUser() {
    if (!HostileFiles::runningAsRoot())
        QSKIP("covered by hostileImport(no read permission)");
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (setpriv.isEmpty())
        QSKIP("setpriv is not installed");
    const QStringList asNobody = {setpriv, QStringLiteral("--reuid=65534"),
                                  QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
                                  QStringLiteral("--")};
    // The checkout may sit where "nobody" cannot reach the program.
    if (generate({QStringLiteral("--help")}, asNobody).status != 0)
        QSKIP("nobody cannot run orvane-cli from here");
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                  QFileDevice::WriteOther | QFileDevice::ExeOther));
    const QString input = dir.filePath(QStringLiteral("F1.ini"));
    HostileFiles::write(input, HostileFiles::validHead());
    QVERIFY(QFile::setPermissions(input, QFileDevice::WriteOwner));
    const Run run = generate({QStringLiteral("--home"), dir.path(), input}, asNobody);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, input + QStringLiteral(": No se puede leer el fichero ") + input +
                          QStringLiteral(".\n"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("F1.XML"))));
}

QTEST_GUILESS_MAIN(tst_CliHostile)
#include "tst_CliHostile.moc"
