#include "CliRunner.h"
#include "PdfPages.h"

#include "common/AppError.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"
#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"
#include "pdf/LogoImage.h"
#include "storage/InvoiceImport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <vector>

// The tax QR on the readable copy, read back as a customer's phone would: the
// page rendered by poppler and scanned by zbar gives exactly the address; the
// symbol measured on the page is 30 to 40 mm wide with a clear margin of at
// least 2 mm; it stands on the first page only, with "QR tributario:" above
// it and the legend only when one is given. A document of another program
// shows the address it carries only when that is the tax agency's.
class tst_TaxQrPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachAddressReadBack_data();
    void eachAddressReadBack();
    void firstPageOnly();
    void addressNoSymbolHoldsFailsTheCopy();
    void anotherProgramsDocument_data();
    void anotherProgramsDocument();
    void eachInvoiceOfABatchItsOwn();

private:
    QTemporaryDir m_dir;
    FacturaeDocument::Document m_short;
};

namespace {

using CliRunner::Run;

constexpr int Dpi = 200;
constexpr double DotsPerMm = Dpi / 25.4;

const QString Production =
    QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR");
const QString Trials = QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR");
const QString VeriFactu = QStringLiteral("VERI*FACTU");
const QString Verifiable = QStringLiteral("Factura verificable en la sede electrónica de la AEAT");

QString address(const QString& page, const QString& series, const QString& amount,
                const QString& nif = QStringLiteral("89890001K")) {
    return page + QStringLiteral("?nif=") + nif + QStringLiteral("&numserie=") + series +
           QStringLiteral("&fecha=01-09-2027&importe=") + amount;
}

// An import file of `lines` lines whose descriptions take two text lines,
// each starting "Artículo NNNN" and ending "fin NNNN".
QByteArray importText(int lines) {
    QByteArray text = "[DATOS_GENERALES]\nSERIE=Q\nFACTURA=7\nFECHA=01/09/2027\n"
                      "VENCIMIENTO=01/10/2027\nLINEAS=" +
                      QByteArray::number(lines) +
                      "\n[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                      "PERSONA=J\nNOMBRE=Suministros Largos S.L.\nNIF=B15000001\n"
                      "DIRECCION=Rúa Nova 3\nCP=15001\nPOBLACION=A Coruña\nPROVINCIA=A Coruña\n"
                      "[COMPRADOR]\nPERSONA=J\nNOMBRE=Cliente S.A.\nNIF=A15000002\n"
                      "DIRECCION=Rúa Vella 1\nCP=15002\nPOBLACION=A Coruña\nPROVINCIA=A Coruña\n"
                      "[LINEAS]\n";
    for (int n = 1; n <= lines; ++n) {
        const QByteArray k = QByteArray::number(n);
        const QByteArray id = k.rightJustified(4, '0');
        text += "NOMBRE" + k + "=Artículo " + id +
                " de catálogo con una descripción larga que ocupa dos renglones, fin " + id +
                "\nPRECIO" + k + "=" + QByteArray::number(n % 97) + ",25\nCANTIDAD" + k +
                "=2\nIVA" + k + "=21\n";
    }
    return text;
}

// The Facturae document this program writes for such an import file.
QByteArray documentBytes(const QTemporaryDir& dir, int lines) {
    const QString import =
        CliRunner::writeFile(dir, QStringLiteral("f%1.ini").arg(lines), importText(lines));
    InvoiceRecord record;
    record.lines().open();
    InvoiceImport::importFile(record, import, true);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(record, buffer);
    return buffer.data();
}

// The same document as another program might write it, with additional
// information holding the given tax QR line among its own notes.
QByteArray withInformation(QByteArray document, const QString& qrLine) {
    const QString information =
        QStringLiteral("Pedido 77\n") + qrLine + QStringLiteral("\nGracias");
    QString escaped = information.toHtmlEscaped();
    document.replace("</PaymentDetails>", "</PaymentDetails><AdditionalData>"
                                          "<InvoiceAdditionalInformation>" +
                                              escaped.toUtf8() +
                                              "</InvoiceAdditionalInformation></AdditionalData>");
    return document;
}

// What zbar reads on the picture, one entry per symbol.
QStringList scanned(const QImage& page) {
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("page.png"));
    if (!page.save(png))
        return {QStringLiteral("(picture not saved)")};
    const Run r =
        CliRunner::run(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"),
                                                   QStringLiteral("--nodbus"), png});
    return r.out.split(u'\n', Qt::SkipEmptyParts);
}

bool dark(const QImage& page, int x, int y) {
    return page.constScanLine(y)[x] < 128;
}

// The QR symbol's bounding box on the page, in dots: dark pixels are gathered
// into 1 mm cells, and cells that touch form blocks, so a gap of 2 mm keeps
// blocks apart; the symbol is the one roughly square block 20 to 50 mm wide.
// Null when there is no such block or more than one.
QRect symbolBox(const QImage& page) {
    const int cell = qRound(DotsPerMm);
    const int columns = page.width() / cell, rows = page.height() / cell;
    std::vector<char> inked(std::size_t(columns * rows), 0);
    for (int y = 0; y < rows * cell; ++y)
        for (int x = 0; x < columns * cell; ++x)
            if (dark(page, x, y))
                inked[std::size_t((y / cell) * columns + x / cell)] = 1;
    std::vector<int> block(inked.size(), -1);
    QRect found;
    int candidates = 0;
    for (int start = 0; start < int(inked.size()); ++start) {
        if (!inked[std::size_t(start)] || block[std::size_t(start)] >= 0)
            continue;
        QRect cells;
        std::vector<int> todo{start};
        block[std::size_t(start)] = start;
        while (!todo.empty()) {
            const int c = todo.back();
            todo.pop_back();
            const int cx = c % columns, cy = c / columns;
            cells |= QRect(cx, cy, 1, 1);
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = cx + dx, ny = cy + dy;
                    if (nx < 0 || ny < 0 || nx >= columns || ny >= rows)
                        continue;
                    const auto n = std::size_t(ny * columns + nx);
                    if (inked[n] && block[n] < 0) {
                        block[n] = start;
                        todo.push_back(int(n));
                    }
                }
        }
        if (cells.width() >= 20 && cells.width() <= 50 && cells.height() >= 20 &&
            cells.height() <= 50 && qAbs(cells.width() - cells.height()) <= 3) {
            ++candidates;
            found = QRect(cells.x() * cell, cells.y() * cell, cells.width() * cell,
                          cells.height() * cell);
        }
    }
    if (candidates != 1)
        return {};
    QRect exact;
    for (int y = found.top(); y <= found.bottom(); ++y)
        for (int x = found.left(); x <= found.right(); ++x)
            if (dark(page, x, y))
                exact |= QRect(x, y, 1, 1);
    return exact;
}

// No dark pixel within `mm` millimetres around box.
bool clearAround(const QImage& page, const QRect& box, double mm) {
    const int margin = int(std::ceil(mm * DotsPerMm));
    const QRect around = box.adjusted(-margin, -margin, margin, margin) & page.rect();
    for (int y = around.top(); y <= around.bottom(); ++y)
        for (int x = around.left(); x <= around.right(); ++x)
            if (!box.contains(x, y) && dark(page, x, y))
                return false;
    return around == box.adjusted(-margin, -margin, margin, margin);
}

// Page 1 scanned and measured: the symbol holds exactly `expected`, is 30 to
// 40 mm wide and tall, with nothing else within 2 mm of it.
void checkSymbol(const QString& pdf, const QString& expected) {
    const QImage page = PdfPages::picture(pdf, 1, Dpi);
    QVERIFY(!page.isNull());
    QCOMPARE(scanned(page), QStringList{expected});
    const QRect box = symbolBox(page);
    QVERIFY2(!box.isNull(), "no single symbol standing clear on the page");
    const double width = box.width() / DotsPerMm, height = box.height() / DotsPerMm;
    QVERIFY2(width >= 30 && width <= 40 && height >= 30 && height <= 40,
             qPrintable(QStringLiteral("%1 x %2 mm").arg(width).arg(height)));
    QVERIFY2(clearAround(page, box, 2), "something within 2 mm of the symbol");
}

} // namespace

void tst_TaxQrPdf::initTestCase() {
    for (const char* tool : {"pdftotext", "pdfinfo", "pdftoppm", "zbarimg"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(
                qPrintable(QStringLiteral("%1 is missing (poppler-utils, zbar-tools)").arg(tool)));
    }
    QVERIFY(m_dir.isValid());
    m_short = FacturaeReader::read(documentBytes(m_dir, 3));
}

void tst_TaxQrPdf::eachAddressReadBack_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("legend");
    QTest::addColumn<bool>("logo");
    const QString otherMode = Production + QStringLiteral("NoVerifactu");
    QTest::newRow("production") << address(Production, "Q-7", "241.4") << VeriFactu << false;
    QTest::newRow("trials host, series with &")
        << address(Trials, "12345678%26G33", "241.40") << VeriFactu << false;
    QTest::newRow("series with /, long legend")
        << address(Production, "A%2F2027%2F001", "1210") << Verifiable << false;
    QTest::newRow("other mode, no legend")
        << address(otherMode, "F2027-1", "99.99") << QString() << false;
    QTest::newRow("other mode on trials, & and /")
        << address(Trials + QStringLiteral("NoVerifactu"), "R%2F1%26B%2F2", "-50.5") << QString()
        << false;
    QTest::newRow("longest series")
        << address(Production, QString(60, u'9'), "123456789012.34") << VeriFactu << false;
    QTest::newRow("logo beside it") << address(Production, "L%2F7", "8") << Verifiable << true;
    QTest::newRow("logo, no legend")
        << address(otherMode, "L-8", "0.01", QStringLiteral("B15000001")) << QString() << true;
    QTest::newRow("corrective, negative amount")
        << address(Production, "R-2027-0001", "-1234.56") << VeriFactu << false;
    QTest::newRow("published example")
        << QStringLiteral("https://prewww2.aeat.es/wlpl/TIKE-CONT/ValidarQR?nif=89890001K&"
                          "numserie=12345678%26G33&fecha=01-01-2024&importe=241.4")
        << VeriFactu << true;
}

void tst_TaxQrPdf::eachAddressReadBack() {
    QFETCH(QString, address);
    QFETCH(QString, legend);
    QFETCH(bool, logo);
    LogoImage picture;
    if (logo) {
        QImage png(120, 60, QImage::Format_RGB32);
        png.fill(Qt::darkBlue);
        const QString path = m_dir.filePath(QStringLiteral("logo.png"));
        QVERIFY(png.save(path));
        QVERIFY(picture.load(path));
    }
    const QString pdf = m_dir.filePath(QStringLiteral("copia.pdf"));
    InvoicePdf::save(m_short, pdf, &picture, {address, legend});

    checkSymbol(pdf, address);
    const QStringList pages = PdfPages::texts(pdf, false);
    QCOMPARE(pages.size(), 1);
    const QString text = pages[0].simplified();
    QVERIFY(text.contains(QStringLiteral("QR tributario:")));
    QCOMPARE(text.contains(VeriFactu), legend == VeriFactu);
    QCOMPARE(text.contains(Verifiable), legend == Verifiable);
    // Still the whole invoice below it.
    QVERIFY(text.contains(QStringLiteral("Cliente S.A.")));
    QVERIFY(text.contains(QStringLiteral("TOTAL FACTURA")));
}

// A three-page invoice: the symbol on page 1 only; the first page holds fewer
// lines for it, and still no line is cut by a page break.
void tst_TaxQrPdf::firstPageOnly() {
    const FacturaeDocument::Document doc = FacturaeReader::read(documentBytes(m_dir, 55));
    const QString plain = m_dir.filePath(QStringLiteral("sin-qr.pdf"));
    const QString withQr = m_dir.filePath(QStringLiteral("con-qr.pdf"));
    const QString url = address(Production, "Q%2F7", "1000");
    InvoicePdf::save(doc, plain, nullptr);
    InvoicePdf::save(doc, withQr, nullptr, {url, VeriFactu});

    QCOMPARE(PdfPages::count(withQr), 3);
    checkSymbol(withQr, url);
    for (int page : {2, 3})
        QCOMPARE(scanned(PdfPages::picture(withQr, page, Dpi)), QStringList{});

    const QStringList pages = PdfPages::texts(withQr);
    QCOMPARE(pages.size(), 3);
    for (int p = 0; p < 3; ++p) {
        QCOMPARE(pages[p].contains(QStringLiteral("QR tributario:")), p == 0);
        QCOMPARE(pages[p].contains(VeriFactu), p == 0);
        QVERIFY(pages[p].contains(QStringLiteral("Página %1 de 3").arg(p + 1)));
    }
    QVERIFY(pages[2].contains(QStringLiteral("TOTAL FACTURA")));
    for (int n = 1; n <= 55; ++n) {
        const QString id = QString::number(n).rightJustified(4, u'0');
        int start = -1, end = -1;
        for (int p = 0; p < pages.size(); ++p) {
            start = pages[p].contains(QStringLiteral("Artículo ") + id) ? p : start;
            end = pages[p].contains(QStringLiteral("fin ") + id) ? p : end;
        }
        QVERIFY2(
            start >= 0 && start == end,
            qPrintable(
                QStringLiteral("line %1 on pages %2 and %3").arg(n).arg(start + 1).arg(end + 1)));
    }
    auto linesOnFirstPage = [](const QString& pdf) {
        return PdfPages::texts(pdf).value(0).count(QStringLiteral("Artículo "));
    };
    QVERIFY(linesOnFirstPage(withQr) < linesOnFirstPage(plain));
    QVERIFY(linesOnFirstPage(withQr) > 0);
}

// The code of an issued invoice is never left out quietly: an address no
// symbol holds stops the copy, and an older copy stays as it was.
void tst_TaxQrPdf::addressNoSymbolHoldsFailsTheCopy() {
    const QString pdf = CliRunner::writeFile(m_dir, QStringLiteral("anterior.pdf"), "anterior");
    const QString tooLong = address(Production, QString(2400, u'9'), "1");
    try {
        InvoicePdf::save(m_short, pdf, nullptr, {tooLong, VeriFactu});
        QFAIL("saved without its code");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("QR tributario")), qPrintable(e.message()));
    }
    QCOMPARE(CliRunner::readAll(pdf), QByteArray("anterior"));
}

void tst_TaxQrPdf::anotherProgramsDocument_data() {
    QTest::addColumn<QString>("found"); // the address in the document
    QTest::addColumn<bool>("shown");
    const QString tail = QStringLiteral("?nif=89890001K&numserie=X%2F1&fecha=01-09-2027&importe=5");
    QTest::newRow("agency, production") << Production + tail << true;
    QTest::newRow("agency, trials, other mode")
        << Trials + QStringLiteral("NoVerifactu") + tail << true;
    QTest::newRow("other host")
        << QStringLiteral("https://pagos.example.com/wlpl/TIKE-CONT/ValidarQR") + tail << false;
    QTest::newRow("http") << QStringLiteral("http://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/"
                                            "ValidarQR") +
                                 tail
                          << false;
    QTest::newRow("other page")
        << QStringLiteral("https://www2.agenciatributaria.gob.es/wlpl/OTRA/Pagar") + tail << false;
    QTest::newRow("javascript") << QStringLiteral("javascript:alert('example')") << false;
    QTest::newRow("agency's name before another host")
        << QStringLiteral("https://www2.agenciatributaria.gob.es.example.com/wlpl/TIKE-CONT/"
                          "ValidarQR") +
               tail
        << false;
}

// Through orvane-cli pdf, as a user turns such a document into its copy.
void tst_TaxQrPdf::anotherProgramsDocument() {
    QFETCH(QString, found);
    QFETCH(bool, shown);
    const QString xml = CliRunner::writeFile(
        m_dir, QStringLiteral("ajena.xml"),
        withInformation(documentBytes(m_dir, 3), QStringLiteral("QR tributario: ") + found));
    const QString pdf = m_dir.filePath(QStringLiteral("ajena.pdf"));
    const Run r = CliRunner::cli({QStringLiteral("pdf"), QStringLiteral("-o"), pdf, xml});
    QVERIFY2(r.status == 0, qPrintable(r.err));

    const QString text = PdfPages::texts(pdf, false).value(0).simplified();
    QCOMPARE(text.contains(QStringLiteral("QR tributario")), shown);
    if (shown)
        checkSymbol(pdf, found);
    else
        QCOMPARE(scanned(PdfPages::picture(pdf, 1, Dpi)), QStringList{});
    // Never a legend for a document this program did not issue; the
    // address is not printed as text either; the other notes stay.
    QVERIFY(!text.contains(VeriFactu) && !text.contains(Verifiable));
    QVERIFY(!text.contains(QStringLiteral("example")) && !text.contains(QStringLiteral("nif=")));
    QVERIFY(text.contains(QStringLiteral("Pedido 77 Gracias")));
}

void tst_TaxQrPdf::eachInvoiceOfABatchItsOwn() {
    QFile batch(QStringLiteral(ORVANE_PDF_DATA "/batch-foreign.xml"));
    QVERIFY(batch.open(QIODevice::ReadOnly));
    QByteArray xml = batch.readAll();
    const QString first = address(Production, "A-1", "10"), second = address(Trials, "A-2", "20");
    // Each invoice's own additional information, after its lines.
    qsizetype at = 0;
    for (const QString& url : {first, second}) {
        at = xml.indexOf("</fac:Items>", at);
        QVERIFY(at > 0);
        const QByteArray extra =
            "</fac:Items><fac:AdditionalData><fac:InvoiceAdditionalInformation>"
            "QR tributario: " +
            url.toHtmlEscaped().toUtf8() +
            "</fac:InvoiceAdditionalInformation></fac:AdditionalData>";
        xml.replace(at, qsizetype(qstrlen("</fac:Items>")), extra);
        at += extra.size();
    }
    const QString pdf = m_dir.filePath(QStringLiteral("lote.pdf"));
    InvoicePdf::save(FacturaeReader::read(xml), pdf, nullptr);
    QCOMPARE(PdfPages::count(pdf), 2);
    QCOMPARE(scanned(PdfPages::picture(pdf, 1, Dpi)), QStringList{first});
    QCOMPARE(scanned(PdfPages::picture(pdf, 2, Dpi)), QStringList{second});
}

QTEST_MAIN(tst_TaxQrPdf)
#include "tst_TaxQrPdf.moc"
