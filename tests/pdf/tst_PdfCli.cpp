#include "../signing/TestPki.h"
#include "CliRunner.h"
#include "PdfPages.h"

#include "invoice/InvoiceRecord.h"
#include "storage/InvoiceImport.h"

#include "pdf/FacturaeReader.h"
#include "pdf/ReadableText.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// orvane-cli pdf as a user runs it, checked through the PDF's own text
// (pdftotext -layout), page count (pdfinfo), fonts (pdffonts) and pictures
// (pdfimages): every figure of the totals and tax summary, lines never cut
// by a page break, each page numbered, and nothing written for a file that
// is no Facturae document.
class tst_PdfCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void samples_data();
    void samples();
    void signedDocument();
    void totalsInTheWindowsWords();
    void signatureSaysWhetherItsCertificateIsTrusted();
    void batchOfTwoAnotherProgramWrote();
    void threeHundredLinesNeverCut();
    void notFacturaeGivesMessageAndNoFile_data();
    void notFacturaeGivesMessageAndNoFile();
    void failedSaveLeavesNothing();
    void logoOnlyForTheIssuer();
    void usage_data();
    void usage();
};

namespace {

using CliRunner::cli;
using CliRunner::run;
using CliRunner::Run;

QString money(const QString& decimal, const QString& currency) {
    return ReadableText::money(decimal, currency).replace(QChar(0x00a0), u' ');
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QString copyData(const QTemporaryDir& dir, const QString& name) {
    const QString target = dir.filePath(name);
    QFile::copy(QStringLiteral(ORVANE_PDF_DATA "/") + name, target);
    return target;
}

// Every figure of the totals and tax summaries of the document at xml must
// appear in the text of its last page, and the amount of each given line
// somewhere in the copy.
void checkFigures(const QString& xml, const QStringList& pages) {
    const FacturaeDocument::Document doc = FacturaeReader::readFile(xml);
    const QString all = pages.join(u'\n');
    for (const FacturaeDocument::Invoice& inv : doc.invoices) {
        QStringList figures{inv.totals.grossAmount, inv.totals.grossBeforeTaxes,
                            inv.totals.taxOutputs, inv.totals.invoiceTotal};
        if (!inv.taxesWithheld.isEmpty())
            figures << inv.totals.taxesWithheld;
        for (const auto& t : inv.taxesOutputs + inv.taxesWithheld)
            figures << t.base << t.amount;
        for (const QString& f : figures)
            QVERIFY2(all.contains(money(f, inv.currency)),
                     qPrintable(QStringLiteral("missing %1").arg(money(f, inv.currency))));
        for (const auto& t : inv.taxesOutputs)
            QVERIFY(all.contains(ReadableText::number(t.rate)));
        for (qsizetype i = 0; i < inv.lines.size(); i += qMax<qsizetype>(1, inv.lines.size() / 5)) {
            const auto& line = inv.lines[i];
            QVERIFY2(all.contains(money(line.grossAmount, inv.currency)),
                     qPrintable(line.grossAmount));
            QVERIFY(all.contains(ReadableText::number(line.quantity)));
            QVERIFY(all.contains(ReadableText::number(line.unitPrice)));
        }
        for (const auto& inst : inv.installments)
            QVERIFY(all.contains(ReadableText::date(inst.dueDate)));
    }
}

void checkPageNumbers(const QStringList& pages) {
    for (int n = 0; n < pages.size(); ++n)
        QVERIFY2(pages[n].contains(QStringLiteral("Página %1 de %2").arg(n + 1).arg(pages.size())),
                 qPrintable(QStringLiteral("page %1").arg(n + 1)));
}

QByteArray importFile(int lines) {
    QByteArray text = "[DATOS_GENERALES]\nSERIE=L\nFACTURA=300\nFECHA=01/02/2024\n"
                      "VENCIMIENTO=01/03/2024\nLINEAS=" +
                      QByteArray::number(lines) +
                      "\n[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                      "PERSONA=J\nNOMBRE=Suministros Largos S.L.\nNIF=B15000001\n"
                      "[COMPRADOR]\nPERSONA=J\nNOMBRE=Cliente S.A.\nNIF=A15000002\n[LINEAS]\n";
    static const char* rates[] = {"21", "10", "4", "0"};
    for (int n = 1; n <= lines; ++n) {
        const QByteArray id = QByteArray::number(n).rightJustified(4, '0');
        text += "NOMBRE" + QByteArray::number(n) + "=Artículo " + id +
                " de catálogo con una descripción larga que ocupa dos renglones, fin " + id +
                "\nPRECIO" + QByteArray::number(n) + "=" + QByteArray::number(n % 97) + ",25\n" +
                "CANTIDAD" + QByteArray::number(n) + "=" + QByteArray::number(1 + n % 4) + "\n" +
                "DTO" + QByteArray::number(n) + "=" + (n % 5 == 0 ? "5" : "0") + "\n" + "IVA" +
                QByteArray::number(n) + "=" + rates[n % 4] + "\n";
    }
    return text;
}

} // namespace

void tst_PdfCli::initTestCase() {
    for (const char* tool : {"pdftotext", "pdfinfo", "pdffonts", "pdfimages", "pdftoppm"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is missing (poppler-utils)").arg(tool)));
    }
}

void tst_PdfCli::samples_data() {
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("centres, exempt line, fixed fee")
        << "F2024-001.ini" << QStringList{}
        << QStringList{"671,01 €",
                       "114,37 €",
                       "544,64 €",
                       "Oficina contable (01): L01150022",
                       "Unidad tramitadora (03)",
                       "Órgano gestor (02)",
                       "Exento de IVA según lo indicado en el artículo 8",
                       "15/04/2024",
                       "ES91 2100 0418 4502 0005 1332",
                       "Transferencia",
                       "323,64 €",
                       "Descuento 10,00 %: 35,96 €"};
    QTest::newRow("withholding 15") << "F2024-002.ini" << QStringList{"--withholding", "15"}
                                    << QStringList{"Retenciones", "IRPF", "15,00"};
    QTest::newRow("natural persons")
        << "F2024-002-persona-fisica.ini" << QStringList{} << QStringList{};
    QTest::newRow("Windows-1252 import")
        << "F2024-003.ini" << QStringList{} << QStringList{"Ferretería Peñalba e Hijos, S.L."};
}

void tst_PdfCli::samples() {
    QFETCH(QString, sample);
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const QString import = dir.filePath(sample);
    QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/") + sample, import));
    const Run generated =
        cli(QStringList{QStringLiteral("generate"), QStringLiteral("--home"), dir.path()} +
            options + QStringList{import});
    QCOMPARE(generated.status, 0);
    const QString xml = generated.out.trimmed();

    const Run r = cli({QStringLiteral("pdf"), xml});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QString pdf =
        QFileInfo(xml).path() + u'/' + QFileInfo(xml).completeBaseName() + QStringLiteral(".pdf");
    QCOMPARE(r.out.trimmed(), pdf);
    QCOMPARE(PdfPages::count(pdf), 1);
    const QStringList pages = PdfPages::texts(pdf);
    QCOMPARE(pages.size(), 1);
    checkFigures(xml, pages);
    checkPageNumbers(pages);
    for (const QString& text : expected)
        QVERIFY2(pages[0].contains(text), qPrintable(text));

    // The fonts travel inside the file.
    const Run fonts = run(QStringLiteral("pdffonts"), {pdf});
    const QStringList rows = fonts.out.split(u'\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!rows.isEmpty());
    for (const QString& row : rows) {
        QVERIFY2(row.startsWith(QStringLiteral("DejaVu")), qPrintable(row));
        QVERIFY2(row.contains(QRegularExpression(QStringLiteral("\\byes\\b"))), qPrintable(row));
    }
}

void tst_PdfCli::signedDocument() {
    QTemporaryDir dir;
    const QString xsig = copyData(dir, QStringLiteral("signed.xsig"));
    const Run r = cli({QStringLiteral("pdf"), xsig});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QString pdf = dir.filePath(QStringLiteral("signed.pdf"));
    QCOMPARE(r.out.trimmed(), pdf);
    const QStringList pages = PdfPages::texts(pdf);
    QCOMPARE(pages.size(), 1);
    const QString flat = pages[0].simplified();
    QVERIFY2(flat.contains(QStringLiteral(
                 "firmado electrónicamente por NÚÑEZ PÉREZ MARÍA - 12345678Z el 15/03/2024 "
                 "10:22:33 +01:00")),
             qPrintable(flat));
    checkFigures(xsig, pages);
    // Its signature value is made up: the copy says the signature fails.
    QVERIFY2(flat.contains(QStringLiteral("La firma NO es válida")), qPrintable(flat));
}

// The totals say what the window's totals say, with the same words and
// figures; a line's amount before its discount is its "Importe", as in the
// grid.
void tst_PdfCli::totalsInTheWindowsWords() {
    QTemporaryDir dir;
    const QString import = dir.filePath(QStringLiteral("F2024-001.ini"));
    QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"), import));
    const Run generated = cli({QStringLiteral("generate"), QStringLiteral("--home"), dir.path(),
                               QStringLiteral("--withholding"), QStringLiteral("15"), import});
    QCOMPARE(generated.status, 0);
    const QString xml = generated.out.trimmed();
    QCOMPARE(cli({QStringLiteral("pdf"), xml}).status, 0);
    const QString text =
        PdfPages::texts(QFileInfo(xml).path() + u'/' + QFileInfo(xml).completeBaseName() + ".pdf")
            .join(u'\n');

    InvoiceRecord screen;
    screen.lines().open();
    InvoiceImport::importFile(screen, import, true);
    screen.setText(RecordField::WithholdingRate, QStringLiteral("15"));
    const InvoiceTotals& t = screen.totals();
    QVERIFY(!t.discount.isZero()); // the sample has a discounted line
    const std::pair<const char*, Decimal> rows[] = {
        {"Subtotal", t.gross}, {"Descuento", t.discount},   {"Base imponible", t.base},
        {"I.V.A.", t.vat},     {"I.R.P.F.", t.withholding}, {"TOTAL FACTURA", t.total}};
    for (const auto& [word, figure] : rows) {
        const QString row = QRegularExpression::escape(QLatin1String(word)) + QStringLiteral(" +") +
                            QRegularExpression::escape(figure.displayText() + QStringLiteral(" €"));
        QVERIFY2(text.contains(QRegularExpression(row)), qPrintable(row + u'\n' + text));
    }
    QVERIFY(!text.contains(QStringLiteral("Importe bruto")));
    QVERIFY(text.contains(QStringLiteral("Importe 359,60 € · Descuento 10,00 %: 35,96 €")));
}

// A signature that checks but whose certificate no trusted authority vouches
// for is not simply "válida".
void tst_PdfCli::signatureSaysWhetherItsCertificateIsTrusted() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    TestPki pki;
    QVERIFY2(pki.create(), qPrintable(pki.problem));
    QTemporaryDir dir;
    const QString import = dir.filePath(QStringLiteral("F2024-001.ini"));
    QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"), import));
    const QString xml =
        cli({QStringLiteral("generate"), QStringLiteral("--home"), dir.path(), import})
            .out.trimmed();
    const QString password = dir.filePath(QStringLiteral("clave.txt"));
    writeFile(password, QByteArray(TestPki::Password) + '\n');
    const QString xsig = dir.filePath(QStringLiteral("F2024-001.xsig"));
    const Run signedRun =
        cli({QStringLiteral("sign"), QStringLiteral("--cert"), pki.representative,
             QStringLiteral("--password-file"), password, QStringLiteral("-o"), xsig, xml});
    QVERIFY2(signedRun.status == 0, qPrintable(signedRun.err));
    QCOMPARE(cli({QStringLiteral("pdf"), xsig}).status, 0);
    const QString flat =
        PdfPages::texts(dir.filePath(QStringLiteral("F2024-001.pdf"))).join(u' ').simplified();
    QVERIFY2(flat.contains(QStringLiteral("La firma es válida, pero no se ha podido confirmar la "
                                          "confianza en su certificado.")),
             qPrintable(flat));
    QVERIFY(!flat.contains(QStringLiteral("autoridad de confianza")));
}

void tst_PdfCli::batchOfTwoAnotherProgramWrote() {
    QTemporaryDir dir;
    const QString xml = copyData(dir, QStringLiteral("batch-foreign.xml"));
    const QString pdf = dir.filePath(QStringLiteral("lote.pdf"));
    const Run r = cli({QStringLiteral("pdf"), QStringLiteral("-o"), pdf, xml});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    QCOMPARE(PdfPages::count(pdf), 2);
    const QStringList pages = PdfPages::texts(pdf);
    QCOMPARE(pages.size(), 2);
    checkFigures(xml, pages);
    checkPageNumbers(pages);
    // Each invoice on its own page, with its own totals.
    QVERIFY(pages[0].contains(QStringLiteral("Número: 0701")));
    QVERIFY(pages[0].contains(QStringLiteral("12.037,50 USD")));
    QVERIFY(!pages[0].contains(QStringLiteral("0702")));
    QVERIFY(pages[1].contains(QStringLiteral("Número: 0702")));
    QVERIFY(pages[1].contains(QStringLiteral("Total a pagar")));
    QVERIFY(pages[1].contains(QStringLiteral("1.025,00 USD")));
    // Quantities and prices with their own decimals; every instalment.
    QVERIFY(pages[0].contains(QStringLiteral("1.250,50")));
    QVERIFY(pages[0].contains(QStringLiteral("8,12345")));
    QCOMPARE(pages[0].count(QStringLiteral("4.012,50 USD")), 3);
    QVERIFY(pages[0].contains(QStringLiteral("Pago mediante tarjeta")));
    QVERIFY(pages[0].contains(QStringLiteral("Massachusetts (USA)")));
    QVERIFY(pages[1].contains(QStringLiteral("Expediente: EXP-2024/77 · Fecha: 02/06/2024")));
}

void tst_PdfCli::threeHundredLinesNeverCut() {
    QTemporaryDir dir;
    const QString import = dir.filePath(QStringLiteral("largo.ini"));
    writeFile(import, importFile(300));
    const Run generated =
        cli({QStringLiteral("generate"), QStringLiteral("--home"), dir.path(), import});
    QCOMPARE(generated.status, 0);
    const QString xml = generated.out.trimmed();
    const Run r = cli({QStringLiteral("pdf"), xml});
    QVERIFY2(r.status == 0, qPrintable(r.err));
    const QString pdf = r.out.trimmed();

    const QStringList pages = PdfPages::texts(pdf);
    QVERIFY(pages.size() > 5);
    QCOMPARE(PdfPages::count(pdf), pages.size());
    checkPageNumbers(pages);
    checkFigures(xml, pages);
    for (int n = 1; n <= 300; ++n) {
        const QString id = QString::number(n).rightJustified(4, u'0');
        const QString start = QStringLiteral("Artículo ") + id;
        const QString end = QStringLiteral("fin ") + id;
        int startPage = -1, endPage = -1;
        for (int p = 0; p < pages.size(); ++p) {
            if (pages[p].contains(start))
                startPage = startPage < 0 ? p : -2;
            if (pages[p].contains(end))
                endPage = endPage < 0 ? p : -2;
        }
        QVERIFY2(startPage >= 0 && startPage == endPage,
                 qPrintable(QStringLiteral("line %1 on pages %2 and %3")
                                .arg(n)
                                .arg(startPage + 1)
                                .arg(endPage + 1)));
        // Each description was wrapped: its end is on a later text line.
        QVERIFY(!pages[startPage].contains(start + QStringLiteral(" de catálogo con una "
                                                                  "descripción larga que ocupa "
                                                                  "dos renglones, fin")));
    }
    for (int p = 0; p < pages.size(); ++p) {
        QVERIFY2(pages[p].contains(QStringLiteral("Descripción")),
                 qPrintable(QStringLiteral("no table header on page %1").arg(p + 1)));
        QCOMPARE(pages[p].contains(QStringLiteral("TOTAL FACTURA")), p == pages.size() - 1);
        QCOMPARE(pages[p].contains(QStringLiteral("(continuación)")), p > 0);
    }
}

void tst_PdfCli::notFacturaeGivesMessageAndNoFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("other XML") << QByteArray("<?xml version=\"1.0\"?><pedido><linea/></pedido>")
                               << "no es una factura Facturae";
    QTest::newRow("broken XML") << QByteArray("<Facturae><Parties>")
                                << "no es una factura Facturae";
    QTest::newRow("not XML") << QByteArray("hola") << "no es una factura Facturae";
}

void tst_PdfCli::notFacturaeGivesMessageAndNoFile() {
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString xml = dir.filePath(QStringLiteral("pedido.xml"));
    writeFile(xml, content);
    const Run r = cli({QStringLiteral("pdf"), xml});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("«pedido.xml» ") + message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("pedido.xml")});

    // An old copy under the output name stays as it was.
    const QString old = dir.filePath(QStringLiteral("anterior.pdf"));
    writeFile(old, "anterior");
    QCOMPARE(cli({QStringLiteral("pdf"), QStringLiteral("-o"), old, xml}).status, 1);
    QFile f(old);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("anterior"));
}

void tst_PdfCli::failedSaveLeavesNothing() {
    QTemporaryDir dir;
    const QString xml = copyData(dir, QStringLiteral("batch-foreign.xml"));
    const QString target = dir.filePath(QStringLiteral("no-existe/copia.pdf"));
    Run r = cli({QStringLiteral("pdf"), QStringLiteral("-o"), target, xml});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("No se puede guardar")), qPrintable(r.err));
    QVERIFY(!QFile::exists(target));

    r = cli({QStringLiteral("pdf"), QStringLiteral("-o"), dir.path(), xml});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("es una carpeta")), qPrintable(r.err));

    // Two inputs, one failing: the other is still written, status 1.
    const QString missing = dir.filePath(QStringLiteral("falta.xml"));
    r = cli({QStringLiteral("pdf"), missing, xml});
    QCOMPARE(r.status, 1);
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("batch-foreign.pdf"))));
    QVERIFY(r.err.contains(missing));
}

void tst_PdfCli::logoOnlyForTheIssuer() {
    QTemporaryDir dir;
    const QString xml = copyData(dir, QStringLiteral("batch-foreign.xml"));
    QImage png(120, 60, QImage::Format_RGB32);
    png.fill(Qt::darkBlue);
    QVERIFY(png.save(dir.filePath(QStringLiteral("logo.png"))));
    writeFile(dir.filePath(QStringLiteral("logo.svg")),
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"200\" height=\"80\">"
              "<rect width=\"200\" height=\"80\" fill=\"#2a6\"/>"
              "<text x=\"10\" y=\"50\" font-size=\"30\">LOGOTIPO</text></svg>");
    auto images = [&](const QString& registro, const QString& name) {
        writeFile(dir.filePath(QStringLiteral("Registro.Ini")), registro.toUtf8());
        const QString pdf = dir.filePath(name);
        const Run r = cli({QStringLiteral("pdf"), QStringLiteral("--home"), dir.path(),
                           QStringLiteral("-o"), pdf, xml});
        if (r.status != 0)
            return -1;
        const Run list = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
        return int(list.out.split(u'\n', Qt::SkipEmptyParts).size()) - 2;
    };
    // Same tax id: on the first page of each of the two invoices.
    QCOMPARE(images(QStringLiteral("[MISDATOS]\nNIF=B76543210\nLOGO=logo.png\n"), "a.pdf"), 2);
    QCOMPARE(images(QStringLiteral("[MISDATOS]\nNIF=B00000000\nLOGO=logo.png\n"), "b.pdf"), 0);
    QCOMPARE(images(QStringLiteral("[MISDATOS]\nNIF=B76543210\n"), "c.pdf"), 0);
    QCOMPARE(images(QStringLiteral("[MISDATOS]\nNIF=B76543210\nLOGO=") +
                        dir.filePath(QStringLiteral("logo.png")) + u'\n',
                    "d.pdf"),
             2);
    // A missing picture costs the logo, not the copy.
    QCOMPARE(images(QStringLiteral("[MISDATOS]\nNIF=B76543210\nLOGO=otro.png\n"), "e.pdf"), 0);
    // SVG stays a drawing (no picture inside), in its box at the top left.
    QCOMPARE(images(QStringLiteral("[MISDATOS]\nNIF=B76543210\nLOGO=logo.svg\n"), "f.pdf"), 0);
    const QString prefix = dir.filePath(QStringLiteral("f"));
    QCOMPARE(run(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), dir.filePath(QStringLiteral("f.pdf")), prefix})
                 .status,
             0);
    const QImage page(prefix + QStringLiteral(".png"));
    const double dotsPerMm = 50 / 25.4;
    const QColor inBox = page.pixelColor(int(30 * dotsPerMm), int(20 * dotsPerMm));
    const QColor outside = page.pixelColor(int(90 * dotsPerMm), int(20 * dotsPerMm));
    QVERIFY2(inBox.green() > inBox.red() + 60, qPrintable(inBox.name()));
    QCOMPARE(outside, QColor(Qt::white));
}

void tst_PdfCli::usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("help") << QStringList{"pdf", "--help"} << 0 << "Uso: orvane-cli pdf";
    QTest::newRow("no document") << QStringList{"pdf"} << 2 << "Falta la factura";
    QTest::newRow("-o with two") << QStringList{"pdf", "-o", "x.pdf", "a.xml", "b.xml"} << 2
                                 << "-o solo admite una factura";
    QTest::newRow("unknown option") << QStringList{"pdf", "--color"} << 2 << "Opción desconocida";
    QTest::newRow("listed") << QStringList{"--help"} << 0 << "pdf ";
}

void tst_PdfCli::usage() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    const Run r = cli(arguments);
    QCOMPARE(r.status, status);
    QVERIFY2((r.out + r.err).contains(text), qPrintable(r.out + r.err));
}

QTEST_GUILESS_MAIN(tst_PdfCli)
#include "tst_PdfCli.moc"
