#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "pdf/FacturaeReader.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace FacturaeDocument;

// The reader gets what a person must see from any Facturae document: the
// program's own, another program's (prefixes, batches, other currencies),
// signed ones; anything else is refused with a message.
class tst_FacturaeReader : public QObject {
    Q_OBJECT
private slots:
    void readsWhatTheWriterWrote();
    void readsAnotherProgramsBatch();
    void readsTheSigner();
    void signerFromSubjectNameWhenNoCertificate();
    void invoiceInsideAnEnvelopingSignature();
    void defaultNamespaceAndOlderVersion();
    void taxQrLineTakenFromTheNotes_data();
    void taxQrLineTakenFromTheNotes();
    void refusesWhatIsNoFacturae_data();
    void refusesWhatIsNoFacturae();
    void missingFileNamed();
};

namespace {

QByteArray fixture(const char* name) {
    QFile f(QStringLiteral(ORVANE_PDF_DATA "/") + QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray Minimal = R"(<?xml version="1.0"?>
<Facturae xmlns="http://www.facturae.es/Facturae/2009/v3.2/Facturae">
  <FileHeader><SchemaVersion>3.2</SchemaVersion></FileHeader>
  <Parties><SellerParty><TaxIdentification><TaxIdentificationNumber>A1</TaxIdentificationNumber>
  </TaxIdentification><LegalEntity><CorporateName>Uno &amp; Dos</CorporateName></LegalEntity>
  </SellerParty></Parties>
  <Invoices><Invoice><InvoiceHeader><InvoiceNumber>7</InvoiceNumber></InvoiceHeader>
  <Items><InvoiceLine><ItemDescription><![CDATA[Línea <uno>]]></ItemDescription>
  </InvoiceLine></Items></Invoice></Invoices>
</Facturae>)";

} // namespace

void tst_FacturaeReader::readsWhatTheWriterWrote() {
    InvoiceRecord record;
    record.lines().open();
    InvoiceImport::importFile(record, QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"), true);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(record, buffer);

    const Document doc = FacturaeReader::read(buffer.data());
    QCOMPARE(doc.schemaVersion, QStringLiteral("3.2.1"));
    QCOMPARE(doc.seller.name, QStringLiteral("Talleres Mecánicos Íñiguez S.L."));
    QCOMPARE(doc.seller.taxId, QStringLiteral("B15123458"));
    QCOMPARE(doc.seller.email, QStringLiteral("facturacion@talleres-iniguez.example"));
    QCOMPARE(doc.seller.address.town, QStringLiteral("Santiago de Compostela"));
    QCOMPARE(doc.buyer.centres.size(), 3);
    QCOMPARE(doc.buyer.centres[0].roleCode, QStringLiteral("02"));
    QCOMPARE(doc.buyer.centres[2].name, QStringLiteral("Intervención"));
    QVERIFY(!doc.signature.present);

    QCOMPARE(doc.invoices.size(), 1);
    const FacturaeDocument::Invoice& inv = doc.invoices[0];
    QCOMPARE(inv.series, QStringLiteral("A"));
    QCOMPARE(inv.number, QStringLiteral("2024-001"));
    QCOMPARE(inv.issueDate, QStringLiteral("2024-03-15"));
    QCOMPARE(inv.currency, QStringLiteral("EUR"));
    QCOMPARE(inv.lines.size(), 4);
    QCOMPARE(inv.lines[1].discounts.size(), 1);
    QCOMPARE(inv.lines[1].discounts[0].rate, QStringLiteral("10.00"));
    QVERIFY(inv.lines[2].exemptionReason.startsWith(QStringLiteral("Exento de IVA")));
    QCOMPARE(inv.lines[3].grossAmount, QStringLiteral("35.500000"));
    QCOMPARE(inv.totals.invoiceTotal, QStringLiteral("671.01"));
    QCOMPARE(inv.installments.size(), 1);
    QCOMPARE(inv.installments[0].creditIban, QStringLiteral("ES9121000418450200051332"));
    QCOMPARE(inv.installments[0].dueDate, QStringLiteral("2024-04-15"));
}

void tst_FacturaeReader::readsAnotherProgramsBatch() {
    const Document doc = FacturaeReader::read(fixture("batch-foreign.xml"));
    QCOMPARE(doc.schemaVersion, QStringLiteral("3.2.2"));
    QCOMPARE(doc.buyer.name, QStringLiteral("John Smith"));
    QCOMPARE(doc.buyer.address.town, QStringLiteral("02110 Boston MA"));
    QCOMPARE(doc.buyer.address.countryCode, QStringLiteral("USA"));
    QCOMPARE(doc.invoices.size(), 2);
    const FacturaeDocument::Invoice& first = doc.invoices[0];
    QCOMPARE(first.currency, QStringLiteral("USD"));
    QCOMPARE(first.lines[0].quantity, QStringLiteral("1250.5"));
    QCOMPARE(first.lines[0].unitPrice, QStringLiteral("8.12345"));
    QCOMPARE(first.lines[0].charges.size(), 1);
    QCOMPARE(first.lines[0].charges[0].amount, QStringLiteral("1091.59"));
    QCOMPARE(first.lines[0].taxes[0].typeCode, QStringLiteral("03"));
    QCOMPARE(first.installments.size(), 3);
    QCOMPARE(first.installments[2].meansCode, QStringLiteral("19"));
    QCOMPARE(first.notes.size(), 1);
    QCOMPARE(doc.invoices[1].totals.executable, QStringLiteral("1025.00"));
}

void tst_FacturaeReader::readsTheSigner() {
    const Document doc = FacturaeReader::read(fixture("signed.xsig"));
    QVERIFY(doc.signature.present);
    QCOMPARE(doc.signature.signerName, QStringLiteral("NÚÑEZ PÉREZ MARÍA - 12345678Z"));
    QCOMPARE(doc.signature.signingTime, QStringLiteral("2024-03-15T10:22:33+01:00"));
    QVERIFY(doc.signature.checked);
    QVERIFY(!doc.signature.valid); // the fixture's signature value is made up
    QCOMPARE(doc.invoices[0].totals.invoiceTotal, QStringLiteral("671.01"));
}

void tst_FacturaeReader::signerFromSubjectNameWhenNoCertificate() {
    QByteArray xml = Minimal;
    xml.replace("</Facturae>",
                "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\"><ds:KeyInfo>"
                "<ds:X509Data><ds:X509Certificate>bm8gZXMgdW4gY2VydGlmaWNhZG8=</ds:X509Certificate>"
                "<ds:X509SubjectName>CN=Ana Pérez</ds:X509SubjectName></ds:X509Data>"
                "</ds:KeyInfo></ds:Signature></Facturae>");
    const Document doc = FacturaeReader::read(xml);
    QVERIFY(doc.signature.present);
    QCOMPARE(doc.signature.signerName, QStringLiteral("CN=Ana Pérez"));
    QVERIFY(doc.signature.signingTime.isEmpty());
}

void tst_FacturaeReader::invoiceInsideAnEnvelopingSignature() {
    QByteArray inner = Minimal;
    inner.remove(0, inner.indexOf("<Facturae"));
    const QByteArray xml = "<ds:Signature xmlns:ds=\"http://www.w3.org/2000/09/xmldsig#\">"
                           "<ds:Object>" +
                           inner + "</ds:Object></ds:Signature>";
    const Document doc = FacturaeReader::read(xml);
    QVERIFY(doc.signature.present);
    QCOMPARE(doc.invoices[0].number, QStringLiteral("7"));
}

void tst_FacturaeReader::defaultNamespaceAndOlderVersion() {
    const Document doc = FacturaeReader::read(Minimal);
    QCOMPARE(doc.schemaVersion, QStringLiteral("3.2"));
    QCOMPARE(doc.seller.name, QStringLiteral("Uno & Dos"));
    QCOMPARE(doc.invoices[0].lines[0].description, QStringLiteral("Línea <uno>"));
    QVERIFY(doc.invoices[0].installments.isEmpty());
}

void tst_FacturaeReader::taxQrLineTakenFromTheNotes_data() {
    QTest::addColumn<QByteArray>("information"); // as written in the document
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("notes");
    const QString url =
        QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR?nif=1&a=2");
    const QByteArray line =
        "QR tributario: https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR?nif=1&amp;a=2";
    QTest::newRow("the line alone") << line << url << QStringList{};
    QTest::newRow("between other lines")
        << "Pedido 77\n" + line + "\nGracias" << url << QStringList{"Pedido 77\nGracias"};
    QTest::newRow("Windows line ends, indented") << "Pedido 77\r\n   " + line + "  \r\n"
                                                 << url << QStringList{"Pedido 77"};
    QTest::newRow("two lines: the first counts")
        << line + "\nQR tributario: https://example.com/" << url << QStringList{};
    QTest::newRow("label without address")
        << QByteArray("QR tributario:\nNota") << QString() << QStringList{"Nota"};
    QTest::newRow("label inside a sentence")
        << QByteArray("Véase el QR tributario: https://example.com/") << QString()
        << QStringList{"Véase el QR tributario: https://example.com/"};
    QTest::newRow("none") << QByteArray("Pedido 77") << QString() << QStringList{"Pedido 77"};
}

void tst_FacturaeReader::taxQrLineTakenFromTheNotes() {
    QFETCH(QByteArray, information);
    QFETCH(QString, address);
    QFETCH(QStringList, notes);
    QByteArray xml = Minimal;
    xml.replace("</Items>", "</Items><AdditionalData><InvoiceAdditionalInformation>" + information +
                                "</InvoiceAdditionalInformation></AdditionalData>");
    const FacturaeDocument::Invoice inv = FacturaeReader::read(xml).invoices.value(0);
    QCOMPARE(inv.taxQrAddress, address);
    QCOMPARE(inv.notes, notes);
}

void tst_FacturaeReader::refusesWhatIsNoFacturae_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("plain text") << QByteArray("Factura 1: 100 euros\n");
    QTest::newRow("other XML") << QByteArray("<?xml version=\"1.0\"?><html><body/></html>");
    QTest::newRow("settings-like XML") << QByteArray("<config><Parties/></config>");
    QTest::newRow("cut short") << QByteArray(Minimal).left(Minimal.size() / 2);
    QTest::newRow("no invoices") << QByteArray("<Facturae><Parties/></Facturae>");
    QTest::newRow("empty invoices") << QByteArray("<Facturae><Parties/><Invoices/></Facturae>");
    QTest::newRow("deep nesting") << QByteArray("<Facturae>") + QByteArray("<a>").repeated(5000);
    QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    QTest::newRow("an entity in a DOCTYPE") << QByteArray(Minimal).insert(
        Minimal.indexOf("?>") + 2, "<!DOCTYPE Facturae [<!ENTITY e \"x\">]>");
}

void tst_FacturaeReader::refusesWhatIsNoFacturae() {
    QFETCH(QByteArray, bytes);
    try {
        FacturaeReader::read(bytes);
        QFAIL("read without an error");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("Facturae")), qPrintable(e.message()));
    }
}

void tst_FacturaeReader::missingFileNamed() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no-existe.xml"));
    try {
        FacturaeReader::readFile(path);
        QFAIL("read without an error");
    } catch (const AppError& e) {
        QVERIFY(e.message().contains(path));
    }
    QFile other(dir.filePath(QStringLiteral("nota.xml")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("<nota>hola</nota>");
    other.close();
    try {
        FacturaeReader::readFile(other.fileName());
        QFAIL("read without an error");
    } catch (const AppError& e) {
        QCOMPARE(e.message(), QStringLiteral("«nota.xml» no es una factura Facturae"));
    }
}

QTEST_APPLESS_MAIN(tst_FacturaeReader)
#include "tst_FacturaeReader.moc"
