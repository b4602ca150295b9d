// orvane-cli check, verify, sign and pdf on what a user or an attacker may
// hand them: hostile documents and certificates end in a Spanish message, in
// bounded time and memory and never by a signal; an output never replaces a
// file the command reads; a file-size limit is a message, not a silent end.

#include "../signing/TestPki.h"
#include "CliRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class tst_CliDocuments : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void hostileInput_data();
    void hostileInput();
    void outputNeverReplacesAnInput_data();
    void outputNeverReplacesAnInput();
    void fileSizeLimitIsAMessage_data();
    void fileSizeLimitIsAMessage();
    void windowIgnoresTheFileSizeSignal();

private:
    QString passwordFile() const { return m_dir.filePath("clave.txt"); }

    TestPki m_pki;
    QTemporaryDir m_dir;
    QByteArray m_document; // a clean invoice, unsigned
    QByteArray m_signed;   // the same, signed
};

namespace {

using CliRunner::cli;
using CliRunner::readAll;
using CliRunner::Run;

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// The document with 100,000 elements nested just inside its root.
QByteArray deep(const QByteArray& document) {
    QByteArray bytes = document;
    bytes.insert(bytes.lastIndexOf("</fe:Facturae>"),
                 QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000));
    return bytes;
}

// 170 KB: an entity of 100 KB used 20,000 times in the invoice number.
QByteArray entity(const QByteArray& document) {
    QByteArray bytes = document;
    const qsizetype start = bytes.indexOf("<InvoiceNumber>") + 15;
    bytes.replace(start, bytes.indexOf("</InvoiceNumber>") - start,
                  QByteArray("&e;").repeated(20000));
    return bytes.insert(bytes.indexOf("<fe:Facturae"), "<!DOCTYPE fe:Facturae [<!ENTITY e \"" +
                                                           QByteArray(100000, 'x') + "\">]>\n");
}

bool makePipe(const QString& path) {
#ifdef Q_OS_UNIX
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

} // namespace

void tst_CliDocuments::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY(m_dir.isValid());
    writeAll(passwordFile(), QByteArray(TestPki::Password) + "\n");
    const QString import = m_dir.filePath("F2024-001.ini");
    QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"), import));
    const QString document = m_dir.filePath("limpia.xml");
    QCOMPARE(cli({"generate", "--home", m_dir.path(), "-o", document, import}).status, 0);
    const QString signedDocument = m_dir.filePath("limpia.xsig");
    const Run signing = cli({"sign", "--cert", m_pki.representative, "--password-file",
                             passwordFile(), "-o", signedDocument, document});
    QVERIFY2(signing.status == 0, qPrintable(signing.err));
    m_document = readAll(document);
    m_signed = readAll(signedDocument);
}

// Each hostile input to each command that reads it. Before, the deep file
// crashed verify and sign after a minute or two, the entity took gigabytes,
// /dev/zero was read until the memory ran out and a pipe waited for ever.
void tst_CliDocuments::hostileInput_data() {
    QTest::addColumn<QString>("command"); // "check", "verify", "sign", "sign --cert", "pdf"
    QTest::addColumn<QString>("input");   // "deep", "entity", "zero", "pipe", "folder", "2 MB"
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString deepMessage = QStringLiteral("anidados a más de 256 niveles");
    const QString doctype = QStringLiteral("declaración DOCTYPE");
    const QString notRegular = QStringLiteral("no es un fichero normal");
    QTest::newRow("check, 100,000 levels") << "check"
                                           << "deep" << 1 << deepMessage;
    QTest::newRow("check, entity of 100 KB × 20,000") << "check"
                                                      << "entity" << 1 << doctype;
    QTest::newRow("check, /dev/zero") << "check"
                                      << "zero" << 2 << notRegular;
    QTest::newRow("check, named pipe") << "check"
                                       << "pipe" << 2 << notRegular;
    QTest::newRow("verify, 100,000 levels") << "verify"
                                            << "deep" << 1 << deepMessage;
    QTest::newRow("verify, entity") << "verify"
                                    << "entity" << 1 << doctype;
    QTest::newRow("verify, /dev/zero") << "verify"
                                       << "zero" << 1 << notRegular;
    QTest::newRow("verify, named pipe") << "verify"
                                        << "pipe" << 1 << notRegular;
    QTest::newRow("sign, 100,000 levels") << "sign"
                                          << "deep" << 1 << deepMessage;
    QTest::newRow("sign, entity") << "sign"
                                  << "entity" << 1 << doctype;
    QTest::newRow("sign, /dev/zero") << "sign"
                                     << "zero" << 1 << notRegular;
    QTest::newRow("sign, named pipe") << "sign"
                                      << "pipe" << 1 << notRegular;
    QTest::newRow("sign --cert /dev/zero") << "sign --cert"
                                           << "zero" << 1 << notRegular;
    QTest::newRow("sign --cert a named pipe") << "sign --cert"
                                              << "pipe" << 1 << notRegular;
    QTest::newRow("sign --cert a file of 2 MB")
        << "sign --cert"
        << "2 MB" << 1 << "es demasiado grande (el máximo es de 1 MB)";
    QTest::newRow("pdf, 100,000 levels") << "pdf"
                                         << "deep" << 1 << deepMessage;
    QTest::newRow("pdf, entity") << "pdf"
                                 << "entity" << 1 << doctype;
    QTest::newRow("pdf, /dev/zero") << "pdf"
                                    << "zero" << 1 << notRegular;
    QTest::newRow("pdf, named pipe") << "pdf"
                                     << "pipe" << 1 << notRegular;
    QTest::newRow("pdf, a folder") << "pdf"
                                   << "folder" << 1 << "es una carpeta, no un fichero";
}

void tst_CliDocuments::hostileInput() {
    QFETCH(QString, command);
    QFETCH(QString, input);
    QFETCH(int, status);
    QFETCH(QString, message);

    QTemporaryDir work;
    QString path = work.filePath(input == "2 MB" ? "grande.p12" : "factura.xml");
    if (input == "deep") {
        writeAll(path, deep(command == "verify" ? m_signed : m_document));
    } else if (input == "entity") {
        writeAll(path, entity(command == "verify" ? m_signed : m_document));
    } else if (input == "zero") {
        path = QStringLiteral("/dev/zero");
    } else if (input == "pipe") {
        if (!makePipe(path))
            QSKIP("cannot make a named pipe here");
    } else if (input == "folder") {
        QVERIFY(QDir(work.path()).mkdir("factura.xml"));
    } else {
        QFile big(path);
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(2 * 1024 * 1024));
    }

    const QString document = work.filePath("limpia.xml");
    writeAll(document, m_document);
    const QString output = work.filePath("salida");
    QStringList arguments{command.section(u' ', 0, 0)};
    if (command == "sign --cert")
        arguments << "--cert" << path << "--password-file" << passwordFile() << "-o" << output
                  << document;
    else if (command == "sign")
        arguments << "--cert" << m_pki.signer << "--password-file" << passwordFile() << "-o"
                  << output << path;
    else if (command == "pdf")
        arguments << "-o" << output << path;
    else
        arguments << path;
    const Run run = cli(arguments);
    QVERIFY2(run.status == status, qPrintable(run.out + run.err));
    QVERIFY2((run.out + run.err).contains(message), qPrintable(run.out + run.err));
    QVERIFY(!QFileInfo::exists(output));
}

// The same file by another name is still the same file: links are followed
// and files compared, for every command and every input it reads.
void tst_CliDocuments::outputNeverReplacesAnInput_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("message");

    const QString pdfOverDocument = QStringLiteral("No se puede guardar la copia PDF en");
    const QString signOverDocument = QStringLiteral("es la misma factura sin firmar");
    QTest::newRow("pdf -o the document") << "pdf"
                                         << "-o doc.xml doc.xml" << pdfOverDocument;
    QTest::newRow("pdf -o a link to the document") << "pdf"
                                                   << "-o link.xml doc.xml" << pdfOverDocument;
    QTest::newRow("pdf of a link, -o the document") << "pdf"
                                                    << "-o doc.xml link.xml" << pdfOverDocument;
    QTest::newRow("pdf, doc.pdf a link to the document") << "pdf"
                                                         << "doc.xml" << pdfOverDocument;
    QTest::newRow("pdf -o a hard link to the document") << "pdf"
                                                        << "-o hard.xml doc.xml" << pdfOverDocument;
    QTest::newRow("sign -o the document") << "sign"
                                          << "-o doc.xml doc.xml" << signOverDocument;
    QTest::newRow("sign -o ./the document") << "sign"
                                            << "-o ./doc.xml doc.xml" << signOverDocument;
    QTest::newRow("sign -o a link to the document") << "sign"
                                                    << "-o link.xml doc.xml" << signOverDocument;
    QTest::newRow("sign, an unsigned F.XSIG") << "sign"
                                              << "F.XSIG"
                                              << "mismo nombre que";
    QTest::newRow("sign -o the certificate") << "sign"
                                             << "-o cert.p12 doc.xml"
                                             << "es el fichero del certificado";
    QTest::newRow("sign -o the password file") << "sign"
                                               << "-o clave.txt doc.xml"
                                               << "que también se lee";
    QTest::newRow("sign, the signed name is a later input") << "sign"
                                                            << "doc.xml doc.XSIG"
                                                            << "que también se lee";
}

void tst_CliDocuments::outputNeverReplacesAnInput() {
    QFETCH(QString, command);
    QFETCH(QString, layout);
    QFETCH(QString, message);

    QTemporaryDir work;
    const QDir dir(work.path());
    writeAll(dir.filePath("doc.xml"), m_document);
    writeAll(dir.filePath("F.XSIG"), m_document);
    writeAll(dir.filePath("doc.XSIG"), m_document);
    writeAll(dir.filePath("clave.txt"), readAll(passwordFile()));
    QVERIFY(QFile::copy(m_pki.signer, dir.filePath("cert.p12")));
    QVERIFY(QFile::link(dir.filePath("doc.xml"), dir.filePath("link.xml")));
    if (layout == "doc.xml")
        QVERIFY(QFile::link(dir.filePath("doc.xml"), dir.filePath("doc.pdf")));
    if (layout.contains("hard.xml")) {
#ifdef Q_OS_UNIX
        if (::link(QFile::encodeName(dir.filePath("doc.xml")).constData(),
                   QFile::encodeName(dir.filePath("hard.xml")).constData()) != 0)
#endif
            QSKIP("cannot make a hard link here");
    }
    const QStringList files = dir.entryList(QDir::Files | QDir::System);
    QHash<QString, QByteArray> before;
    for (const QString& name : files)
        before.insert(name, readAll(dir.filePath(name)));

    QStringList arguments{command};
    if (command == "sign")
        arguments << "--cert" << dir.filePath("cert.p12") << "--password-file"
                  << dir.filePath("clave.txt");
    for (const QString& word : layout.split(u' '))
        arguments << (word == "-o" ? word : dir.filePath(word));
    const Run run = cli(arguments);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    // Every file as it was, links still links.
    for (const QString& name : files)
        QVERIFY2(readAll(dir.filePath(name)) == before.value(name), qPrintable(name));
    QVERIFY(QFileInfo(dir.filePath("link.xml")).isSymLink());
}

// Under a file-size limit a save fails like any other failed save: exit 1,
// the reason in Spanish, the old file whole. Before, the system's signal
// ended the tool with no word (status 153).
void tst_CliDocuments::fileSizeLimitIsAMessage_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("generate") << "generate";
    QTest::newRow("pdf") << "pdf";
    QTest::newRow("sign") << "sign";
}

void tst_CliDocuments::fileSizeLimitIsAMessage() {
#ifndef Q_OS_UNIX
    QSKIP("file-size limits are a Unix matter");
#else
    QFETCH(QString, command);
    QTemporaryDir work;
    const QString document = work.filePath("doc.xml");
    writeAll(document, m_document);
    const QString output = work.filePath("salida");
    writeAll(output, "lo que había");
    QStringList arguments{command};
    if (command == "generate")
        arguments << "--home" << work.path() << "-o" << output
                  << QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini");
    else if (command == "pdf")
        arguments << "-o" << output << document;
    else
        arguments << "--cert" << m_pki.signer << "--password-file" << passwordFile() << "-o"
                  << output << document;

    QProcess process;
    // As a shell with "ulimit -f" leaves it: the signal at its default.
    process.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_DFL);
        const struct rlimit limit { 1000, 1000 };
        setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(QStringLiteral(ORVANE_CLI_PATH), arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains("el fichero superaría el tamaño máximo permitido"), qPrintable(err));
    QCOMPARE(readAll(output), QByteArray("lo que había"));
    QCOMPARE(QDir(work.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
#endif
}

// The window cannot be driven from here, but whether it ignores the signal
// can be read from the system while it runs.
void tst_CliDocuments::windowIgnoresTheFileSizeSignal() {
#if !defined(Q_OS_LINUX) || !defined(ORVANE_GUI_PATH)
    QSKIP("needs Linux's /proc and the window program");
#else
    QTemporaryDir home;
    QProcess window;
    window.setChildProcessModifier([] { std::signal(SIGXFSZ, SIG_DFL); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    window.setProcessEnvironment(environment);
    window.setWorkingDirectory(home.path());
    window.start(QStringLiteral(ORVANE_GUI_PATH), {});
    QVERIFY(window.waitForStarted(10000));
    // The mask of ignored signals, once the window is up (its event loop runs).
    const quint64 bit = quint64(1) << (SIGXFSZ - 1);
    bool ignored = false;
    for (int tries = 0; tries < 200 && !ignored; ++tries) {
        QFile status(QStringLiteral("/proc/%1/status").arg(window.processId()));
        if (status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("SigIgn:"))
                    ignored = (line.mid(7).trimmed().toULongLong(nullptr, 16) & bit) != 0;
            }
        }
        if (!ignored)
            QTest::qWait(50);
    }
    window.kill();
    window.waitForFinished(10000);
    QVERIFY(ignored);
#endif
}

QTEST_GUILESS_MAIN(tst_CliDocuments)
#include "tst_CliDocuments.moc"
