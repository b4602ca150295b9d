#include "common/AppError.h"
#include "pdf/BookRowReader.h"

#include <QTest>

using namespace FacturaeDocument;

// What the book keeps of a document issued before it: read from the
// document's own figures, refused when it is another seller's or when a
// listed figure cannot be read.
class tst_BookRowReader : public QObject {
    Q_OBJECT
private slots:
    void rows_data();
    void rows();
    void refusals_data();
    void refusals();
};

namespace {

Document document() {
    Document d;
    d.seller.taxId = QStringLiteral("ESB15123458");
    d.buyer.taxId = QStringLiteral(" P1500200I ");
    d.buyer.name = QStringLiteral("Concello de Ames");
    Invoice invoice;
    invoice.series = QStringLiteral("A");
    invoice.number = QStringLiteral("2024-001");
    invoice.issueDate = QStringLiteral("2024-03-15");
    invoice.totals.grossBeforeTaxes = QStringLiteral("554.55");
    invoice.totals.taxOutputs = QStringLiteral("116.46");
    invoice.totals.invoiceTotal = QStringLiteral("671.01");
    invoice.taxesOutputs = {{QStringLiteral("01"),
                             QStringLiteral("21.00"),
                             QStringLiteral("554.55"),
                             QStringLiteral("116.4555"),
                             {},
                             {}}};
    Installment due;
    due.dueDate = QStringLiteral("2024-04-15");
    invoice.installments = {due};
    d.invoices = {invoice};
    return d;
}

} // namespace

void tst_BookRowReader::rows_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<qint64>("totalCents");
    QTest::addColumn<qint64>("withholdingCents");
    QTest::newRow("as written") << "" << QStringList{"A-2024-001"} << qint64(67101) << qint64(0);
    QTest::newRow("more decimals, half away from zero")
        << "decimals" << QStringList{"A-2024-001"} << qint64(-268) << qint64(1001);
    QTest::newRow("a batch of two")
        << "batch" << QStringList{"A-2024-001", "A-2024-002"} << qint64(67101) << qint64(0);
}

void tst_BookRowReader::rows() {
    QFETCH(QString, change);
    QFETCH(QStringList, numbers);
    QFETCH(qint64, totalCents);
    QFETCH(qint64, withholdingCents);
    Document d = document();
    if (change == u"decimals") {
        d.invoices[0].totals.invoiceTotal = QStringLiteral("-2.675");
        d.invoices[0].totals.taxesWithheld = QStringLiteral("10.005");
    } else if (change == u"batch") {
        d.invoices.append(d.invoices[0]);
        d.invoices[1].number = QStringLiteral("2024-002");
    }
    // The issuer's own tax id however it is written in Mis datos.
    const QList<InvoiceRow> rows = BookRowReader::rows(d, "<Facturae/>", QStringLiteral("/f/A.XML"),
                                                       QStringLiteral("b-15.123.458"));
    QStringList read;
    for (const InvoiceRow& row : rows) {
        read << row.summary.seriesNumber();
        QCOMPARE(row.summary.issuerTaxId, QStringLiteral("B15123458"));
        QCOMPARE(row.summary.issueDate, QDate(2024, 3, 15));
        QCOMPARE(row.summary.dueDate, QDate(2024, 4, 15));
        QCOMPARE(row.summary.customerTaxId, QStringLiteral("P1500200I"));
        QCOMPARE(row.summary.customerName, QStringLiteral("Concello de Ames"));
        QCOMPARE(row.summary.baseCents, 55455);
        QCOMPARE(row.summary.vatCents, 11646);
        QCOMPARE(row.summary.totalCents, totalCents);
        QCOMPARE(row.summary.withholdingCents, withholdingCents);
        QCOMPARE(row.vatGroups, (QList<VatGroupRow>{{"21.00", 55455, 11646}}));
        QCOMPARE(row.document, QByteArray("<Facturae/>"));
        QCOMPARE(row.fileName, QStringLiteral("/f/A.XML"));
        QVERIFY(!row.value);
    }
    QCOMPARE(read, numbers);
}

void tst_BookRowReader::refusals_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("says");
    QTest::newRow("another seller")
        << "seller"
        << "el vendedor de esta factura tiene el NIF «B34123455», no el suyo";
    QTest::newRow("no tax id of your own") << "own"
                                           << "Falta su NIF en Mis datos";
    QTest::newRow("no number") << "number"
                               << "una factura del documento no tiene número";
    QTest::newRow("issue date of another form")
        << "date"
        << "la factura «A-2024-001» no tiene una fecha de expedición legible («15/03/2024»)";
    QTest::newRow("no invoice total")
        << "total"
        << "la factura «A-2024-001» no tiene un importe legible en InvoiceTotal («»)";
    QTest::newRow("a total with a comma")
        << "comma"
        << "la factura «A-2024-001» no tiene un importe legible en TotalTaxOutputs («116,46»)";
    QTest::newRow("a rate that is no number")
        << "rate"
        << "la factura «A-2024-001» tiene un tipo de impuesto que no es un número («IVA»)";
}

void tst_BookRowReader::refusals() {
    QFETCH(QString, change);
    QFETCH(QString, says);
    Document d = document();
    QString own = QStringLiteral("B15123458");
    Invoice& i = d.invoices[0];
    if (change == u"seller")
        d.seller.taxId = QStringLiteral("B34123455");
    else if (change == u"own")
        own = QStringLiteral("  ");
    else if (change == u"number")
        i.number = QStringLiteral(" ");
    else if (change == u"date")
        i.issueDate = QStringLiteral("15/03/2024");
    else if (change == u"total")
        i.totals.invoiceTotal.clear();
    else if (change == u"comma")
        i.totals.taxOutputs = QStringLiteral(" 116,46");
    else if (change == u"rate")
        i.taxesOutputs[0].rate = QStringLiteral("IVA");
    try {
        BookRowReader::rows(d, "<Facturae/>", QStringLiteral("A.XML"), own);
        QFAIL("the document was read");
    } catch (const AppError& error) {
        QVERIFY2(error.message().startsWith(says), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(tst_BookRowReader)
#include "tst_BookRowReader.moc"
