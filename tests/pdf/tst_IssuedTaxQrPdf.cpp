#include "../ledger/LedgerFixture.h"
#include "CliRunner.h"
#include "PdfPages.h"

#include "facturae/DocumentCheck.h"
#include "facturae/TaxQrLine.h"
#include "session/InvoiceSession.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// Invoices issued by orvane-cli generate with a records mode, as the
// customer gets them: the document carries exactly the record's address, its
// PDF copy (orvane-cli pdf) holds a code that zbar reads back as that address,
// "QR tributario:" above it and the legend only in VERI*FACTU mode; without
// a mode neither line nor code. Every document stays valid against the schema.
class tst_IssuedTaxQrPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void issuedAndReadBack_data();
    void issuedAndReadBack();
    void withoutSendingNoLegend();
    void withoutModeNoLineNorCode();

private:
    QTemporaryDir m_producer;
};

namespace {

using CliRunner::Run;

const QString Issuer = QStringLiteral("B15123458");
const QString Production =
    QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR");
const QString Trials = QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR");
const QString VeriFactu = QStringLiteral("VERI*FACTU");
const QString Sede = QStringLiteral("Factura verificable en la sede electrónica de la AEAT");

// One line at 21 % of price, a customer with a NIF.
QByteArray importText(const QString& series, const QString& number, const QString& date,
                      const QString& price) {
    return QStringLiteral("[DATOS_GENERALES]\nSERIE=%1\nFACTURA=%2\nFECHA=%3\nVENCIMIENTO=%3\n"
                          "LINEAS=1\n[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\n"
                          "CUENTA=0200051332\nPERSONA=J\nNOMBRE=Talleres Íñiguez S.L.\nNIF=%5\n"
                          "DIRECCION=Rúa do Vilar, 12\nCP=15705\nPOBLACION=Santiago\n"
                          "PROVINCIA=A Coruña\n[COMPRADOR]\nPERSONA=J\nNOMBRE=Cliente S.A.\n"
                          "NIF=A15000003\nDIRECCION=Rúa Vella 1\nCP=15002\nPOBLACION=A Coruña\n"
                          "PROVINCIA=A Coruña\n[LINEAS]\nNOMBRE1=Reparación\nPRECIO1=%4\n"
                          "CANTIDAD1=1\nDTO1=0\nIVA1=21\n")
        .arg(series, number, date, price, Issuer)
        .toUtf8();
}

void writeSettings(const QTemporaryDir& home, const QString& verifactu) {
    CliRunner::writeFile(
        home, QStringLiteral("Registro.Ini"),
        QStringLiteral("[MISDATOS]\nNIF=%1\n[VERIFACTU]\n%2\n").arg(Issuer, verifactu).toUtf8());
}

// What zbar reads on page 1 of pdf, one entry per symbol.
QStringList scanned(const QString& pdf) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("page.png"));
    if (!PdfPages::picture(pdf, 1, 200).save(png))
        return {QStringLiteral("(picture not saved)")};
    const Run r =
        CliRunner::run(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                   QStringLiteral("--nodbus"), png});
    return r.out.split(u'\n', Qt::SkipEmptyParts);
}

// The schema's findings of document: none for a complete invoice.
QStringList schemaFindings(const QByteArray& document) {
    QStringList found;
    for (const CheckFinding& f : DocumentCheck::run(document))
        if (f.code.startsWith(QStringLiteral("F-XSD")))
            found << f.message;
    return found;
}

// The copy of document through orvane-cli pdf.
QString pdfOf(const QTemporaryDir& home, const QString& document) {
    const Run run =
        CliRunner::cli({QStringLiteral("pdf"), QStringLiteral("--home"), home.path(), document});
    if (run.status != 0)
        qWarning("%s", qPrintable(run.err));
    return run.out.trimmed();
}

} // namespace

void tst_IssuedTaxQrPdf::initTestCase() {
    for (const char* tool : {"pdftotext", "pdfinfo", "pdftoppm", "zbarimg"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(
                qPrintable(QStringLiteral("%1 is missing (poppler-utils, zbar-tools)").arg(tool)));
    }
    // The tool makes records only with its producer named.
    const QString producer = CliRunner::writeFile(
        m_producer, QStringLiteral("producer.json"),
        R"({"producer": {"name": "Productora de Pruebas, S.L.", "taxId": "B12345674",
            "address": "Rúa 1"}, "system": {"name": "Orvane", "id": "OV"}})");
    qputenv("ORVANE_PRODUCER_FILE", QFile::encodeName(producer));
}

// Eleven invoices (one in Facturae 3.2.2), series with "&", "/" and blanks among them; importe is
// the record's ImporteTotal, before any withholding.
void tst_IssuedTaxQrPdf::issuedAndReadBack_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("series");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("address"); // after the page: the parameters
    QTest::addColumn<QString>("legend");
    const QString mode = QStringLiteral("MODO=VERIFACTU");
    auto row = [&](const char* name, const QString& settings, const QString& series,
                   const QString& price, const QStringList& options, const QString& address,
                   const QString& legend) {
        QTest::newRow(name) << settings << series << price << options << address << legend;
    };
    const QString nif = QStringLiteral("?nif=B15123458&numserie=");
    const QString day = QStringLiteral("&fecha=14-11-2025&importe=");
    row("plain series", mode, "A", "100,00", {}, Production + nif + "A-7" + day + "121.00",
        VeriFactu);
    row("series with &", mode, "A&B", "100,00", {}, Production + nif + "A%26B-7" + day + "121.00",
        VeriFactu);
    row("series with /", mode, "2025/R", "100,00", {},
        Production + nif + "2025%2FR-7" + day + "121.00", VeriFactu);
    row("series with & and /", mode, "T&C/25", "0,50", {},
        Production + nif + "T%26C%2F25-7" + day + "0.61", VeriFactu);
    row("series with a blank", mode, "FA 1", "1234,56", {},
        Production + nif + "FA%201-7" + day + "1493.82", VeriFactu);
    row("no series", mode, "", "19,99", {}, Production + nif + "7" + day + "24.19", VeriFactu);
    row("withholding left out of importe", mode, "R", "100,00",
        {QStringLiteral("--withholding"), QStringLiteral("15")},
        Production + nif + "R-7" + day + "121.00", VeriFactu);
    row("test host", mode + "\nENTORNO=PRUEBAS", "P&Q/1", "10,00", {},
        Trials + nif + "P%26Q%2F1-7" + day + "12.10", VeriFactu);
    row("the sede's legend", mode + "\nLEYENDA=SEDE", "S", "10,00", {},
        Production + nif + "S-7" + day + "12.10", Sede);
    row("in Facturae 3.2.2", mode, "V&3/2", "100,00",
        {QStringLiteral("--facturae"), QStringLiteral("3.2.2")},
        Production + nif + "V%263%2F2-7" + day + "121.00", VeriFactu);
    row("test host and the sede's legend", mode + "\nENTORNO=PRUEBAS\nLEYENDA=SEDE", "X-1", "3,00",
        {}, Trials + nif + "X-1-7" + day + "3.63", Sede);
}

void tst_IssuedTaxQrPdf::issuedAndReadBack() {
    QFETCH(QString, settings);
    QFETCH(QString, series);
    QFETCH(QString, price);
    QFETCH(QStringList, options);
    QFETCH(QString, address);
    QFETCH(QString, legend);
    QTemporaryDir home;
    writeSettings(home, settings);
    const QString import = CliRunner::writeFile(
        home, QStringLiteral("f.ini"),
        importText(series, QStringLiteral("7"), QStringLiteral("14/11/2025"), price));
    const QString document = home.filePath(QStringLiteral("f.xml"));
    const Run generated =
        CliRunner::cli(QStringList{QStringLiteral("generate"), QStringLiteral("--home"),
                                   home.path(), QStringLiteral("-o"), document} +
                       options + QStringList{import});
    QVERIFY2(generated.status == 0, qPrintable(generated.err));

    const QByteArray bytes = CliRunner::readAll(document);
    QCOMPARE(TaxQrLine::inDocument(bytes), address);
    QCOMPARE(bytes.count("QR tributario:"), 1);
    QCOMPARE(schemaFindings(bytes), QStringList());

    const QString pdf = pdfOf(home, document);
    QVERIFY(!pdf.isEmpty());
    QCOMPARE(scanned(pdf), QStringList{address});
    const QString text = PdfPages::squeezedText(pdf);
    QVERIFY(text.contains(QStringLiteral("QRtributario:")));
    QCOMPARE(text.contains(PdfPages::squeezed(VeriFactu)), legend == VeriFactu);
    QCOMPARE(text.contains(PdfPages::squeezed(Sede)), legend == Sede);
}

// The mode without sending (its records signed; a stand-in signature here):
// the other page, the code and its label, no legend.
void tst_IssuedTaxQrPdf::withoutSendingNoLegend() {
    QTemporaryDir home;
    writeSettings(home, QStringLiteral("MODO=NOVERIFACTU\nLEYENDA=SEDE"));
    const QString import =
        CliRunner::writeFile(home, QStringLiteral("f.ini"),
                             importText(QStringLiteral("N&O/1"), QStringLiteral("7"),
                                        QStringLiteral("14/11/2025"), QStringLiteral("100,00")));
    LedgerFixture::FakeClock clock;
    clock.now = LedgerFixture::utc(2025, 11, 14, 9, 0);
    InvoiceSession session(home.path());
    session.start(QDate(2025, 11, 14));
    session.importChosenFile(import);
    session.issuing().recordDraft = InvoiceIssuing::recordFromDocument(home.path());
    session.issuing().ledger = LedgerFixture::options(clock);
    session.issuing().ledger.signer.sign = [](const QByteArray& xml, RecordSigner::Kind,
                                              const QDateTime&) { return xml; };
    const QString document = home.filePath(QStringLiteral("f.xml"));
    QCOMPARE(session.generateTo(document).status, InvoiceSession::GenerateStatus::Written);

    const QString address =
        QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQRNoVerifactu"
                       "?nif=B15123458&numserie=N%26O%2F1-7&fecha=14-11-2025&importe=121.00");
    QCOMPARE(TaxQrLine::inDocument(CliRunner::readAll(document)), address);
    const QString pdf = pdfOf(home, document);
    QCOMPARE(scanned(pdf), QStringList{address});
    const QString text = PdfPages::squeezedText(pdf);
    QVERIFY(text.contains(QStringLiteral("QRtributario:")));
    QVERIFY(!text.contains(PdfPages::squeezed(VeriFactu)));
    QVERIFY(!text.contains(PdfPages::squeezed(Sede)));
}

// Without a mode: the document as before, no line and no code on its copy.
void tst_IssuedTaxQrPdf::withoutModeNoLineNorCode() {
    QTemporaryDir home;
    writeSettings(home, QString());
    const QString import =
        CliRunner::writeFile(home, QStringLiteral("f.ini"),
                             importText(QStringLiteral("A&B/1"), QStringLiteral("7"),
                                        QStringLiteral("14/11/2025"), QStringLiteral("100,00")));
    const QString document = home.filePath(QStringLiteral("f.xml"));
    const Run generated = CliRunner::cli({QStringLiteral("generate"), QStringLiteral("--home"),
                                          home.path(), QStringLiteral("-o"), document, import});
    QVERIFY2(generated.status == 0, qPrintable(generated.err));
    const QByteArray bytes = CliRunner::readAll(document);
    QVERIFY(!bytes.contains("QR tributario"));
    QVERIFY(!bytes.contains("AdditionalData"));
    QCOMPARE(schemaFindings(bytes), QStringList());
    const QString pdf = pdfOf(home, document);
    QCOMPARE(scanned(pdf), QStringList());
    QVERIFY(!PdfPages::squeezedText(pdf).contains(QStringLiteral("QRtributario")));
}

QTEST_GUILESS_MAIN(tst_IssuedTaxQrPdf)
#include "tst_IssuedTaxQrPdf.moc"
