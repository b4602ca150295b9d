#include "../signing/TestPki.h"
#include "CliRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// orvane-cli sign and verify, run as a user would on the sample invoices:
// exit statuses, messages, files written or not, and the signed documents
// accepted by the xmlsec1 command and the Facturae schema.
class tst_CliSign : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void samplesSignAndVerify_data();
    void samplesSignAndVerify();
    void changedSampleRefusedByBoth_data();
    void changedSampleRefusedByBoth();
    void refusedSigningWritesNothing_data();
    void refusedSigningWritesNothing();
    void severalFilesToVerify();
    void signedCopyIsKeptInTheBook();
    void usage_data();
    void usage();

private:
    QString generate(const QString& sample);
    QString signedSample(const QString& sample);

    TestPki m_pki;
    QTemporaryDir m_dir;
};

namespace {

using CliRunner::cli;
using CliRunner::readAll;
using CliRunner::Run;

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QString passwordFile(const QTemporaryDir& dir, const QByteArray& password) {
    const QString path = dir.filePath("password.txt");
    writeAll(path, password + "\r\n");
    return path;
}

} // namespace

void tst_CliSign::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY(m_dir.isValid());
}

QString tst_CliSign::generate(const QString& sample) {
    const QString import = m_dir.filePath(sample);
    QFile::remove(import);
    QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/") + sample, import);
    const QString output = m_dir.filePath(QFileInfo(sample).completeBaseName() + ".xml");
    const Run run = cli({"generate", "--home", m_dir.path(), "-o", output, import});
    return run.status == 0 ? output : QString();
}

QString tst_CliSign::signedSample(const QString& sample) {
    const QString document = generate(sample);
    const QString output =
        m_dir.filePath("signed-" + QFileInfo(document).completeBaseName() + ".xsig");
    const Run run = cli({"sign", "--cert", m_pki.representative, "--password-file",
                         passwordFile(m_dir, TestPki::Password), "-o", output, document});
    return run.status == 0 ? output : QString();
}

void tst_CliSign::samplesSignAndVerify_data() {
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("route"); // how the password arrives
    QTest::addColumn<bool>("representative");
    QTest::addColumn<bool>("otherIssuer"); // the document's issuer is not the holder

    QTest::newRow("company, representative's certificate") << "F2024-001.ini"
                                                           << "file" << true << false;
    QTest::newRow("company, someone else's certificate") << "F2024-001.ini"
                                                         << "stdin" << false << true;
    QTest::newRow("natural persons") << "F2024-002-persona-fisica.ini"
                                     << "fd" << false << true;
    QTest::newRow("withholding") << "F2024-002.ini"
                                 << "file" << false << true;
    QTest::newRow("third sample") << "F2024-003.ini"
                                  << "stdin" << false << true;
}

void tst_CliSign::samplesSignAndVerify() {
    QFETCH(QString, sample);
    QFETCH(QString, route);
    QFETCH(bool, representative);
    QFETCH(bool, otherIssuer);

    const QString document = generate(sample);
    QVERIFY(!document.isEmpty());
    const QByteArray unsignedBytes = readAll(document);
    const QString expected = document.chopped(3) + "XSIG";
    QFile::remove(expected);

    QStringList arguments{"sign", "--cert", representative ? m_pki.representative : m_pki.signer};
    QByteArray input;
    if (route == "file")
        arguments << "--password-file" << passwordFile(m_dir, TestPki::Password);
    else if (route == "fd")
        arguments << "--password-fd"
                  << "0";
    if (route != "file")
        input = QByteArray(TestPki::Password) + "\n";
    const Run signing = cli(arguments + QStringList{document}, input);
    QVERIFY2(signing.status == 0, qPrintable(signing.err));
    QCOMPARE(signing.out, expected + '\n');
    QCOMPARE(signing.err.contains("Aviso: El NIF del emisor de la factura"), otherIssuer);

    // Outside the signature, the bytes of the unsigned document.
    QByteArray signedBytes = readAll(expected);
    const qsizetype start = signedBytes.indexOf("<ds:Signature ");
    const qsizetype end = signedBytes.indexOf("</ds:Signature>") + 15;
    QVERIFY(start > 0 && end > start);
    QCOMPARE(signedBytes.remove(start, end - start), unsignedBytes);

    const Run verifying = cli({"verify", "--trusted-ca", m_pki.rootPem, expected});
    QVERIFY2(verifying.status == 0, qPrintable(verifying.out));
    QVERIFY(verifying.out.startsWith(expected + ": INFO valid "));
    QVERIFY(verifying.out.contains("INFO chain"));
    QVERIFY(!verifying.out.contains("ERROR") && !verifying.out.contains("WARNING"));

    // Without the test root among the trusted ones: valid, with a warning.
    const Run untrusted = cli({"verify", expected});
    QCOMPARE(untrusted.status, 0);
    QVERIFY(untrusted.out.contains("WARNING chain"));

    const int xmlsec = m_pki.xmlsec1Accepts(expected);
    if (xmlsec >= 0)
        QCOMPARE(xmlsec, 1);
    else
        qWarning("xmlsec1 is not installed: the independent check was not run");

    const QString schema = QStringLiteral(ORVANE_THIRD_PARTY_DIR "/facturae/Facturaev3_2_1.xsd");
    if (!QFile::exists(schema) || QStandardPaths::findExecutable("xmllint").isEmpty())
        QSKIP("The Facturae schema or xmllint is missing: the schema check was not run");
    QProcess xmllint;
    xmllint.start("xmllint", {"--nonet", "--noout", "--schema", schema, expected});
    QVERIFY(xmllint.waitForFinished(60000));
    QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());
}

void tst_CliSign::changedSampleRefusedByBoth_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");

    QTest::newRow("an amount") << QByteArray("<InvoiceTotal>671.01</InvoiceTotal>")
                               << QByteArray("<InvoiceTotal>617.01</InvoiceTotal>");
    QTest::newRow("an attribute added")
        << QByteArray("<InvoiceTotal>") << QByteArray("<InvoiceTotal currency=\"EUR\">");
    QTest::newRow("a signed attribute")
        << QByteArray("ObjectReference=\"#") << QByteArray("ObjectReference=\"#x");
    QTest::newRow("the signing time")
        << QByteArray("<xades:SigningTime>2") << QByteArray("<xades:SigningTime>1");
}

void tst_CliSign::changedSampleRefusedByBoth() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    const QString file = signedSample("F2024-001.ini");
    QVERIFY(!file.isEmpty());
    QByteArray bytes = readAll(file);
    QVERIFY(bytes.contains(from));
    bytes.replace(from, to);
    writeAll(file, bytes);

    const Run verifying = cli({"verify", "--trusted-ca", m_pki.rootPem, file});
    QCOMPARE(verifying.status, 1);
    QVERIFY2(verifying.out.contains("ERROR reference-digest"), qPrintable(verifying.out));
    QVERIFY(!verifying.out.contains(" valid "));
    const int xmlsec = m_pki.xmlsec1Accepts(file);
    if (xmlsec < 0)
        QSKIP("xmlsec1 is not installed: the independent check was not run");
    QCOMPARE(xmlsec, 0);
}

void tst_CliSign::refusedSigningWritesNothing_data() {
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("passwordFd");
    QTest::addColumn<QString>("input"); // "unsigned", "signed", "with errors"
    QTest::addColumn<QString>("message");

    const QByteArray right(TestPki::Password);
    QTest::newRow("wrong password") << m_pki.signer << QByteArray("otra") << "0"
                                    << "unsigned"
                                    << "La contraseña del certificado no es correcta.";
    // A descriptor that is not open is no empty password.
    QTest::newRow("password descriptor not open")
        << m_pki.signer << right << "9"
        << "unsigned"
        << "No se puede leer la contraseña del descriptor 9: el descriptor no está abierto.";
    QTest::newRow("expired") << m_pki.expired << right << "0"
                             << "unsigned"
                             << "El certificado caducó el 01/01/2021";
    QTest::newRow("not yet valid") << m_pki.notYetValid << right << "0"
                                   << "unsigned"
                                   << "El certificado aún no es válido";
    QTest::newRow("without its key") << m_pki.noKey << right << "0"
                                     << "unsigned"
                                     << "no contiene la clave privada del certificado.";
    QTest::newRow("two private keys") << m_pki.twoKeys << right << "0"
                                      << "unsigned"
                                      << "contiene varias claves privadas";
    QTest::newRow("a certificate not meant for signatures") << m_pki.encipherOnly << right << "0"
                                                            << "unsigned"
                                                            << "no sirve para firmar";
    QTest::newRow("no such certificate file") << m_dir.filePath("none.p12") << right << "0"
                                              << "unsigned"
                                              << "No se puede leer el certificado";
    QTest::newRow("already signed") << m_pki.signer << right << "0"
                                    << "signed"
                                    << "ya está firmado.";
    // As the window: never a signature over a document the check finds wrong,
    // whose findings are shown as orvane-cli check shows them.
    QTest::newRow("errors in the document")
        << m_pki.signer << right << "0"
        << "with errors"
        << "ERROR F-T5 /Facturae/Invoices/Invoice[1]/InvoiceTotals/InvoiceTotal El total de la "
           "factura es 1,00 y debería ser";
}

void tst_CliSign::refusedSigningWritesNothing() {
    QFETCH(QString, certificate);
    QFETCH(QByteArray, password);
    QFETCH(QString, passwordFd);
    QFETCH(QString, input);
    QFETCH(QString, message);

    const QString document =
        input == "signed" ? signedSample("F2024-003.ini") : generate("F2024-003.ini");
    QVERIFY(!document.isEmpty());
    if (input == "with errors") {
        QByteArray bytes = readAll(document);
        const qsizetype start = bytes.indexOf("<InvoiceTotal>") + 14;
        QVERIFY(start > 14);
        bytes.replace(start, bytes.indexOf("</InvoiceTotal>") - start, "1.00");
        writeAll(document, bytes);
    }
    const QString output = m_dir.filePath("refused.xsig");
    QFile::remove(output);
    const Run run =
        cli({"sign", "--cert", certificate, "--password-fd", passwordFd, "-o", output, document},
            password + "\n");
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QVERIFY(!QFile::exists(output));
    if (input == "with errors")
        QVERIFY2(run.err.contains("tiene errores y no se firma."), qPrintable(run.err));
    // The password never shows.
    QVERIFY(!run.err.contains(QString::fromUtf8(password)) || password.isEmpty());
}

void tst_CliSign::severalFilesToVerify() {
    const QString good = signedSample("F2024-001.ini");
    const QString unsignedDocument = generate("F2024-002.ini");
    const Run run = cli({"verify", "--trusted-ca", m_pki.rootPem, good, unsignedDocument,
                         m_dir.filePath("absent.xsig")});
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.contains(good + ": INFO valid"));
    QVERIFY(run.out.contains(unsignedDocument + ": ERROR signature-missing"));
    QVERIFY(run.out.contains(m_dir.filePath("absent.xsig") + ": ERROR file"));
}

// A document the book holds gets its signed copy there; signing it again
// keeps the later copy as well.
void tst_CliSign::signedCopyIsKeptInTheBook() {
    const QString document = generate("F2024-002.ini");
    QVERIFY(!document.isEmpty());
    const QString output = m_dir.filePath("kept.xsig");
    const Run run =
        cli({"sign", "--home", m_dir.path(), "--cert", m_pki.representative, "--password-file",
             passwordFile(m_dir, TestPki::Password), "-o", output, document});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY2(!run.err.contains("libro"), qPrintable(run.err));

    const Run shown = cli({"book", "show", "--home", m_dir.path(), "P-2024-002"});
    QVERIFY2(shown.status == 0, qPrintable(shown.err));
    QVERIFY2(shown.out.contains("firmada kept.xsig"), qPrintable(shown.out));
    const Run stored = cli({"book", "show", "--home", m_dir.path(), "P-2024-002", "--xsig"});
    QCOMPARE(stored.out.toUtf8(), readAll(output));
}

void tst_CliSign::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("sign without certificate")
        << QStringList{"sign", "a.xml"} << 2 << "Falta el certificado";
    QTest::newRow("sign without document")
        << QStringList{"sign", "--cert", "c.p12"} << 2 << "Falta la factura";
    QTest::newRow("password as an argument")
        << QStringList{"sign", "--cert", "c.p12", "--password", "x", "a.xml"} << 2
        << "La contraseña no se admite en la línea de órdenes";
    QTest::newRow("password as --password=")
        << QStringList{"sign", "--cert", "c.p12", "--password=x", "a.xml"} << 2
        << "La contraseña no se admite en la línea de órdenes";
    QTest::newRow("two password sources")
        << QStringList{"sign", "--cert",        "c.p12", "--password-file",
                       "p",    "--password-fd", "3",     "a.xml"}
        << 2 << "no los dos";
    QTest::newRow("bad descriptor")
        << QStringList{"sign", "--cert", "c.p12", "--password-fd", "tres", "a.xml"} << 2
        << "Descriptor no válido";
    QTest::newRow("-o with two documents")
        << QStringList{"sign", "--cert", "c.p12", "-o", "x.xsig", "a.xml", "b.xml"} << 2
        << "-o solo admite una factura";
    QTest::newRow("verify without documents")
        << QStringList{"verify"} << 2 << "Falta la factura firmada";
    QTest::newRow("verify, unknown option")
        << QStringList{"verify", "--deep", "a.xsig"} << 2 << "Opción desconocida: --deep";
    // Ignored, it would leave every chain untrusted without a word.
    QTest::newRow("verify, missing authorities file")
        << QStringList{"verify", "--trusted-ca", m_dir.filePath("no-existe.pem"), "a.xsig"} << 2
        << "No se puede leer el fichero de autoridades de confianza";
    QTest::newRow("verify, authorities file not PEM")
        << QStringList{"verify", "--trusted-ca", m_pki.signer, "a.xsig"} << 2
        << "no contiene ningún certificado en formato PEM";
}

void tst_CliSign::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const Run run = cli(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.err.contains("Uso: orvane-cli " + arguments.first()));
    QVERIFY(run.out.isEmpty());
}

QTEST_GUILESS_MAIN(tst_CliSign)
#include "tst_CliSign.moc"
