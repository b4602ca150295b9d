#include "CliRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// orvane-cli generate, run as a user would: exit statuses, the paths on
// stdout, the error texts on stderr, and schema-valid documents.
class tst_Cli : public QObject {
    Q_OBJECT
private slots:
    void samplesGiveValidDocuments_data();
    void samplesGiveValidDocuments();
    void outputOption();
    void issuerFromRegistroWhenTheImportHasNone();
    void errors_data();
    void errors();
    void oneFailingInputOfSeveral();
    void facturaeVersion_data();
    void facturaeVersion();
    void usage_data();
    void usage();
    void withholdingOfADraft_data();
    void withholdingOfADraft();
    void generateChecksTheDocument_data();
    void generateChecksTheDocument();
};

namespace {

using CliRunner::cli;
using CliRunner::readAll;
using CliRunner::Run;
using CliRunner::writeFile;

QString copySample(const QTemporaryDir& dir, const QString& name) {
    const QString target = dir.filePath(name);
    QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/") + name, target);
    return target;
}

const QByteArray Complete = "[DATOS_GENERALES]\nSERIE=A\nFACTURA=1\nFECHA=1/2/2024\n"
                            "[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                            "[LINEAS]\nNOMBRE1=Uno\nPRECIO1=10\nCANTIDAD1=1\nIVA1=21\n";

} // namespace

void tst_Cli::samplesGiveValidDocuments_data() {
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected"); // texts the document must hold

    QTest::newRow("administration, fixed fee")
        << "F2024-001.ini" << QStringList{}
        << QStringList{"<CorporateName>Talleres Mecánicos Íñiguez S.L.</CorporateName>",
                       "<RoleTypeCode>03</RoleTypeCode>", "<TotalCost>35.500000</TotalCost>",
                       "<InvoiceTotal>671.01</InvoiceTotal>",
                       "<IBAN>ES9121000418450200051332</IBAN>"};
    QTest::newRow("natural persons, withholding 15")
        << "F2024-002.ini" << QStringList{"--withholding", "15"}
        << QStringList{"<PersonTypeCode>F</PersonTypeCode>",
                       "<Name>José Ángel</Name>",
                       "<SecondSurname>Güell</SecondSurname>",
                       "<TaxTypeCode>04</TaxTypeCode>\n          <TaxRate>15.00</TaxRate>",
                       "<TotalTaxesWithheld>66.78</TotalTaxesWithheld>",
                       "<InvoiceTotal>471.00</InvoiceTotal>",
                       "<IBAN>ES0600491500032710123456</IBAN>",
                       "<InstallmentDueDate>2024-06-01</InstallmentDueDate>"};
    // A decimal point is as good as a decimal comma on the command line.
    for (const char* rate : {"15,5", "15.5"})
        QTest::addRow("withholding %s", rate)
            << "F2024-002.ini" << QStringList{"--withholding", rate}
            << QStringList{"<TaxTypeCode>04</TaxTypeCode>\n          <TaxRate>15.50</TaxRate>",
                           "<TotalTaxesWithheld>69.01</TotalTaxesWithheld>",
                           "<InvoiceTotal>468.77</InvoiceTotal>"};
    QTest::newRow("Windows-1252 file, 4 % group")
        << "F2024-003.ini" << QStringList{}
        << QStringList{"<CorporateName>Ferretería Peñalba e Hijos, S.L.</CorporateName>",
                       "<CorporateName>Construcciones Güemes &amp; Ibáñez, S.A.</CorporateName>",
                       "<TaxRate>4.00</TaxRate>",
                       "<ItemDescription>Guantes de protección \"nitrilo\" talla "
                       "9</ItemDescription>",
                       "<InvoiceTotal>300.83</InvoiceTotal>"};
    // The same content in Facturae 3.2.2: only the frame differs.
    for (const char* sample : {"F2024-001.ini", "F2024-002.ini", "F2024-003.ini"})
        QTest::addRow("%s in 3.2.2", sample)
            << sample << QStringList{"--facturae", "3.2.2"}
            << QStringList{"xmlns:fe=\"http://www.facturae.gob.es/formato/Versiones/"
                           "Facturaev3_2_2.xml\"",
                           "<SchemaVersion>3.2.2</SchemaVersion>"};
}

void tst_Cli::samplesGiveValidDocuments() {
    QFETCH(QString, sample);
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/orvane cli XXXXXX"));
    QVERIFY(dir.isValid());
    const QString input = copySample(dir, sample);
    QVERIFY(QFile::exists(input));

    const Run run =
        cli(QStringList{"generate", "--home", dir.path()} + options + QStringList{input});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    const QString xml =
        QDir(dir.path())
            .absoluteFilePath(QFileInfo(sample).completeBaseName() + QStringLiteral(".XML"));
    QCOMPARE(run.out, xml + u'\n');
    const QString document = QString::fromUtf8(readAll(xml));
    for (const QString& text : expected)
        QVERIFY2(document.contains(text), qPrintable(text));

    const QString schema =
        document.contains(QStringLiteral("<SchemaVersion>3.2.2<"))
            ? QStringLiteral(ORVANE_THIRD_PARTY_DIR "/facturae/Facturaev3_2_2.xsd")
            : QStringLiteral(ORVANE_THIRD_PARTY_DIR "/facturae/Facturaev3_2_1.xsd");
    const QString xmllint = QStandardPaths::findExecutable(QStringLiteral("xmllint"));
    if (!QFile::exists(schema) || xmllint.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not validated against the schema: %1 missing")
                             .arg(xmllint.isEmpty() ? QStringLiteral("xmllint") : schema)));
    QProcess lint;
    lint.start(xmllint, {"--nonet", "--noout", "--schema", schema, xml});
    QVERIFY(lint.waitForFinished(60000));
    QVERIFY2(lint.exitCode() == 0, lint.readAllStandardError().constData());
}

void tst_Cli::outputOption() {
    QTemporaryDir dir;
    const QString input = copySample(dir, QStringLiteral("F2024-001.ini"));
    const QString output = dir.filePath(QStringLiteral("salida.xml"));
    const Run run = cli({"generate", "--home", dir.path(), "-o", output, input});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, output + u'\n');
    QVERIFY(readAll(output).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\""));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("F2024-001.XML"))));
}

void tst_Cli::issuerFromRegistroWhenTheImportHasNone() {
    QTemporaryDir dir;
    QFile registro(dir.filePath(QStringLiteral("Registro.Ini")));
    QVERIFY(registro.open(QIODevice::WriteOnly));
    registro.write("[MISDATOS]\nENTIDAD=9999\nPERSONA=J\nNOMBRE=Emisora Guardada S.L.\n"
                   "NIF=B99\nCONTACTO=Ana\n");
    registro.close();
    const QString input = writeFile(dir, QStringLiteral("sin-emisor.ini"), Complete);
    const Run run = cli({"generate", "--home", dir.path(), input});
    QCOMPARE(run.status, 0);
    const QByteArray xml = readAll(dir.filePath(QStringLiteral("sin-emisor.XML")));
    QVERIFY(xml.contains("<CorporateName>Emisora Guardada S.L.</CorporateName>"));
    QVERIFY(xml.contains("<TradeName>Ana</TradeName>"));
    QVERIFY(xml.contains("<TaxIdentificationNumber>B99</TaxIdentificationNumber>"));
    // The account comes from the import file.
    QVERIFY(xml.contains("<IBAN>ES9121000418450200051332</IBAN>"));
}

void tst_Cli::errors_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("issue date missing")
        << QByteArray("[DATOS_GENERALES]\nSERIE=A\n[VENDEDOR]\nENTIDAD=2100\n")
        << "FECHA: falta la fecha de la factura; escriba una fecha válida como dd/mm/aaaa.";
    QTest::newRow("issue date invalid")
        << QByteArray("[DATOS_GENERALES]\nFECHA=30/02/2024\n[VENDEDOR]\nENTIDAD=2100\n")
        << "FECHA: la fecha de la factura «30/02/2024» no existe: febrero de 2024 tiene 29 días; "
           "escriba una fecha válida como dd/mm/aaaa.";
    QTest::newRow("bank entity missing")
        << QByteArray("[DATOS_GENERALES]\nFECHA=1/2/2024\n[VENDEDOR]\nOFICINA=0418\n")
        << "¡¡¡ Debe cumplimentar los datos bancarios !!!";
}

void tst_Cli::errors() {
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString input = writeFile(dir, QStringLiteral("mal.ini"), text);
    const Run run = cli({"generate", "--home", dir.path(), input});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, input + QStringLiteral(": ") + message + u'\n');
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("mal.XML"))));
}

void tst_Cli::oneFailingInputOfSeveral() {
    QTemporaryDir dir;
    const QString good = writeFile(dir, QStringLiteral("buena.ini"), Complete);
    const QString bad = writeFile(dir, QStringLiteral("mala.ini"), "[DATOS_GENERALES]\n");
    const Run run = cli({"generate", "--home", dir.path(), bad, good});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, dir.filePath(QStringLiteral("buena.XML")) + u'\n');
    QVERIFY(run.err.startsWith(bad + QStringLiteral(": ")));
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("buena.XML"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("mala.XML"))));
}

// [FACTURAE] VERSION of Registro.Ini chooses the version; --facturae stands
// over it; a value Orvane does not know is refused naming key and file.
void tst_Cli::facturaeVersion_data() {
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("version"); // empty: refused
    QTest::newRow("no key") << QByteArray() << QStringList{} << "3.2.1";
    QTest::newRow("empty key") << QByteArray("[FACTURAE]\nVERSION=\n") << QStringList{} << "3.2.1";
    QTest::newRow("3.2.2") << QByteArray("[FACTURAE]\nVERSION=3.2.2\n") << QStringList{} << "3.2.2";
    QTest::newRow("3.2.2 with blanks")
        << QByteArray("[FACTURAE]\r\nVERSION= 3.2.2 \r\n") << QStringList{} << "3.2.2";
    QTest::newRow("option over the file") << QByteArray("[FACTURAE]\nVERSION=3.2.2\n")
                                          << QStringList{"--facturae", "3.2.1"} << "3.2.1";
    QTest::newRow("option over an unknown value")
        << QByteArray("[FACTURAE]\nVERSION=4\n") << QStringList{"--facturae", "3.2.2"} << "3.2.2";
    QTest::newRow("unknown value")
        << QByteArray("[FACTURAE]\nVERSION=3.2\n") << QStringList{} << "";
}

void tst_Cli::facturaeVersion() {
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, options);
    QFETCH(QString, version);
    QTemporaryDir dir;
    if (!settings.isEmpty())
        writeFile(dir, QStringLiteral("Registro.Ini"), settings);
    const QString input = copySample(dir, QStringLiteral("F2024-001.ini"));
    const QString output = dir.filePath(QStringLiteral("f.xml"));
    const Run run = cli(QStringList{"generate", "--home", dir.path(), "-o", output} + options +
                        QStringList{input});
    if (version.isEmpty()) {
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(QStringLiteral("[FACTURAE] VERSION=3.2")) &&
                     run.err.contains(QStringLiteral("Registro.Ini")),
                 qPrintable(run.err));
        QVERIFY(!QFile::exists(output));
        return;
    }
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QVERIFY(readAll(output).contains("<SchemaVersion>" + version.toLatin1() + "</SchemaVersion>"));
    // The check reads either version as what it is.
    const Run check = cli({"check", output});
    QCOMPARE(check.status, 0);
}

void tst_Cli::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"firmar", "a.ini"};
    QTest::newRow("no import file") << QStringList{"generate"};
    QTest::newRow("unknown option") << QStringList{"generate", "--rapido", "a.ini"};
    QTest::newRow("-o without a file") << QStringList{"generate", "a.ini", "-o"};
    QTest::newRow("-o with two inputs") << QStringList{"generate", "-o", "x.xml", "a.ini", "b.ini"};
    QTest::newRow("negative withholding")
        << QStringList{"generate", "--withholding", "-7", "a.ini"};
    QTest::newRow("withholding over 100")
        << QStringList{"generate", "--withholding", "100,01", "a.ini"};
    QTest::newRow("withholding not a number")
        << QStringList{"generate", "--withholding", "quince", "a.ini"};
    QTest::newRow("withholding with both marks")
        << QStringList{"generate", "--withholding", "1.5,5", "a.ini"};
    QTest::newRow("empty withholding") << QStringList{"generate", "--withholding", "", "a.ini"};
    QTest::newRow("unknown Facturae version")
        << QStringList{"generate", "--facturae", "3.2", "a.ini"};
    QTest::newRow("--facturae without a version") << QStringList{"generate", "a.ini", "--facturae"};
}

void tst_Cli::usage() {
    QFETCH(QStringList, arguments);
    const Run run = cli(arguments);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QString());
    QVERIFY(run.err.contains(QStringLiteral("Uso: orvane-cli")));
}

// A draft keeps its withholding rate; the option stands over it.
void tst_Cli::withholdingOfADraft_data() {
    QTest::addColumn<QByteArray>("irpfLine");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("withheld");
    QTest::newRow("file without IRPF") << QByteArray() << QStringList{} << "0.00"
                                       << "0.00";
    QTest::newRow("draft's IRPF") << QByteArray("IRPF=15\n") << QStringList{} << "15.00"
                                  << "1.50";
    QTest::newRow("option over the draft")
        << QByteArray("IRPF=15\n") << QStringList{"--withholding", "7"} << "7.00"
        << "0.70";
    QTest::newRow("option, file without IRPF")
        << QByteArray() << QStringList{"--withholding", "19"} << "19.00"
        << "1.90";
}

void tst_Cli::withholdingOfADraft() {
    QFETCH(QByteArray, irpfLine);
    QFETCH(QStringList, options);
    QFETCH(QString, rate);
    QFETCH(QString, withheld);
    QTemporaryDir dir;
    QByteArray text = Complete;
    text.replace("FECHA=1/2/2024\n", "FECHA=1/2/2024\n" + irpfLine);
    const QString input = writeFile(dir, QStringLiteral("borrador.ini"), text);
    const QString output = dir.filePath(QStringLiteral("out.xml"));
    const Run run = cli(QStringList{"generate", "--home", dir.path(), "-o", output} + options +
                        QStringList{input});
    QVERIFY2(CliRunner::onlyFindings(run.err, output), qPrintable(run.err));
    QCOMPARE(run.status, 0);
    const QString xml = QString::fromUtf8(readAll(output));
    QVERIFY2(
        xml.contains(QStringLiteral("<TotalTaxesWithheld>%1</TotalTaxesWithheld>").arg(withheld)),
        qPrintable(xml));
    if (rate != u"0.00")
        QVERIFY(xml.contains(QStringLiteral("<TaxRate>%1</TaxRate>").arg(rate)));
}

// generate checks each document as the window does before saving: the
// findings on stderr in orvane-cli check's text; with --strict a document
// with errors is not written.
void tst_Cli::generateChecksTheDocument_data() {
    QTest::addColumn<QByteArray>("from"); // changed in the sample import file
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<bool>("strict");
    QTest::addColumn<QString>("code"); // of an error the check must find; empty: none
    QTest::newRow("clean invoice") << QByteArray() << QByteArray() << false << QString();
    QTest::newRow("clean invoice, strict") << QByteArray() << QByteArray() << true << QString();
    for (const bool strict : {false, true}) {
        const char* mode = strict ? ", strict" : "";
        QTest::addRow("centres without a managing body%s", mode)
            << QByteArray("GESTOR=L01150022\n") << QByteArray() << strict << "F-C1";
        QTest::addRow("no lines%s", mode)
            << QByteArray("LINEAS=4") << QByteArray("LINEAS=0") << strict << "F-XSD";
        QTest::addRow("byte-order mark hiding the buyer%s", mode)
            << QByteArray("[COMPRADOR]") << QByteArray("\xEF\xBB\xBF[COMPRADOR]") << strict
            << "F-P4";
    }
}

void tst_Cli::generateChecksTheDocument() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, strict);
    QFETCH(QString, code);
    QTemporaryDir dir;
    QByteArray text = readAll(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    if (!from.isEmpty()) {
        QVERIFY(text.contains(from));
        text.replace(from, to);
    }
    const QString input = writeFile(dir, QStringLiteral("f.ini"), text);
    const QString output = dir.filePath(QStringLiteral("f.XML"));
    QStringList arguments{"generate", "--home", dir.path()};
    if (strict)
        arguments << QStringLiteral("--strict");
    const Run run = cli(arguments + QStringList{input});
    if (code.isEmpty()) {
        QCOMPARE(run.err, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, output + u'\n');
        return;
    }
    QVERIFY2(run.err.contains(output + QStringLiteral(": ERROR ") + code + u' '),
             qPrintable(run.err));
    if (strict) {
        // The findings, then why nothing was written.
        const QString refusal =
            input + QStringLiteral(": La factura tiene errores; con --strict no se "
                                   "escribe %1.\n")
                        .arg(output);
        QVERIFY2(run.err.endsWith(refusal), qPrintable(run.err));
        QVERIFY(CliRunner::onlyFindings(run.err.chopped(refusal.size()), output));
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QString());
        QVERIFY(!QFile::exists(output));
        return;
    }
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, output + u'\n');
    // The same lines orvane-cli check gives for the document written.
    const Run check = cli({"check", output});
    QCOMPARE(check.status, 1);
    QCOMPARE(run.err,
             check.out.left(check.out.lastIndexOf(output + QStringLiteral(": con errores"))));
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_Cli.moc"
