#include "DecimalTestKit.h"
#include "InvoiceBuilder.h"
#include "invoice/InvoiceRecord.h"

#include <QTest>

// The six totals boxes after lines are stored or deleted.
class tst_Totals : public QObject {
    Q_OBJECT
private slots:
    void boxes_data();
    void boxes();
    void afterDeletingTheLastLineEverythingIsZero();
    void rateChangeRecalculatesAtOnce();
    void groups_data();
    void groups();
};

namespace {

struct Line {
    double quantity, price, dto, iva;
};

void addLine(InvoiceRecord& r, const Line& l) {
    InvoiceBuilder::addLine(r, {QString(), l.quantity, l.price, l.dto, l.iva});
}

// The boxes as their texts: bruto/dto/base/iva/irpf/total.
QString boxTexts(const InvoiceRecord& r) {
    QStringList parts;
    for (TotalBox b : {TotalBox::Bruto, TotalBox::Dto, TotalBox::Base, TotalBox::Iva,
                       TotalBox::Irpf, TotalBox::Total})
        parts << r.totalValue(b).plainText(2, 2);
    return parts.join(u'/');
}

} // namespace

Q_DECLARE_METATYPE(QList<Line>)

void tst_Totals::boxes_data() {
    QTest::addColumn<QList<Line>>("lines");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("expected");

    QTest::newRow("100 at 21, withholding 15") << QList<Line>{{1, 100, 0, 21}} << "15"
                                               << "100.00/0.00/100.00/21.00/15.00/106.00";
    QTest::newRow("3 x 10 with 10 % discount") << QList<Line>{{3, 10, 10, 21}} << "0"
                                               << "30.00/3.00/27.00/5.67/0.00/32.67";
    QTest::newRow("7 % has its own group") << QList<Line>{{1, 100, 0, 21}, {1, 50, 0, 7}} << "0"
                                           << "150.00/0.00/150.00/24.50/0.00/174.50";
    QTest::newRow("21.4 % is taxed at 21.4") << QList<Line>{{1, 100, 0, 21.4}} << "0"
                                             << "100.00/0.00/100.00/21.40/0.00/121.40";
    QTest::newRow("2.1105 and 1.5075 round on their own") << QList<Line>{{1, 10.05, 0, 21}} << "15"
                                                          << "10.05/0.00/10.05/2.11/1.51/10.65";
    // A rate is never rounded to a whole number.
    QTest::newRow("20.5 stays 20.5") << QList<Line>{{1, 100, 0, 20.5}} << "0"
                                     << "100.00/0.00/100.00/20.50/0.00/120.50";
    QTest::newRow("21.5 stays 21.5") << QList<Line>{{1, 100, 0, 21.5}} << "0"
                                     << "100.00/0.00/100.00/21.50/0.00/121.50";
    QTest::newRow("3.5 stays 3.5") << QList<Line>{{1, 100, 0, 3.5}} << "0"
                                   << "100.00/0.00/100.00/3.50/0.00/103.50";
    QTest::newRow("4.5 stays 4.5") << QList<Line>{{1, 100, 0, 4.5}} << "0"
                                   << "100.00/0.00/100.00/4.50/0.00/104.50";
    QTest::newRow("10.5 stays 10.5") << QList<Line>{{1, 100, 0, 10.5}} << "0"
                                     << "100.00/0.00/100.00/10.50/0.00/110.50";
    QTest::newRow("every bucket")
        << QList<Line>{{1, 100, 0, 21}, {1, 100, 0, 10}, {1, 100, 0, 4}, {1, 100, 0, 0}} << "0"
        << "400.00/0.00/400.00/35.00/0.00/435.00";
    QTest::newRow("VAT summed unrounded per bucket")
        << QList<Line>{{1, 0.05, 0, 21}, {1, 0.05, 0, 21}} << "0"
        << "0.10/0.00/0.10/0.02/0.00/0.12";
    QTest::newRow("typed rate 7 is honoured") << QList<Line>{{1, 100, 0, 21}} << "7"
                                              << "100.00/0.00/100.00/21.00/7.00/114.00";
    QTest::newRow("rate with decimal comma") << QList<Line>{{1, 100, 0, 21}} << "15,5"
                                             << "100.00/0.00/100.00/21.00/15.50/105.50";
    QTest::newRow("rate that is not a number counts 0") << QList<Line>{{1, 100, 0, 21}} << "abc"
                                                        << "100.00/0.00/100.00/21.00/0.00/121.00";
    QTest::newRow("empty rate counts 0") << QList<Line>{{1, 100, 0, 21}} << ""
                                         << "100.00/0.00/100.00/21.00/0.00/121.00";
    QTest::newRow("credit note") << QList<Line>{{-1, 100, 10, 21}} << "15"
                                 << "-100.00/-10.00/-90.00/-18.90/-13.50/-95.40";
    QTest::newRow("discount over many lines")
        << QList<Line>{{3, 0.35, 12.5, 21}, {7, 1.99, 33, 10}, {1, 0.01, 50, 4}} << "19"
        << "14.99/4.74/10.25/1.12/1.95/9.42";
    // Each group's tax is rounded once; eIva is the sum of the rounded taxes.
    QTest::newRow("a cent that one rounding of the sum would lose")
        << QList<Line>{{1, 0.05, 0, 10}, {1, 0.10, 0, 5}} << "0"
        << "0.15/0.00/0.15/0.02/0.00/0.17";
}

void tst_Totals::boxes() {
    QFETCH(QList<Line>, lines);
    QFETCH(QString, rate);
    InvoiceRecord r;
    r.lines().open();
    r.setText(RecordField::WithholdingRate, rate);
    for (const Line& l : lines)
        addLine(r, l);
    QTEST(boxTexts(r), "expected");
    QCOMPARE(r.lines().currentRow(), r.lines().count() - 1);
}

void tst_Totals::afterDeletingTheLastLineEverythingIsZero() {
    InvoiceRecord r;
    r.lines().open();
    r.setText(RecordField::WithholdingRate, QStringLiteral("15"));
    addLine(r, {2, 33.33, 5, 21});
    addLine(r, {1, 10, 0, 10});
    r.lines().moveTo(0);
    r.lines().deleteCurrent();
    QCOMPARE(boxTexts(r), QStringLiteral("10.00/0.00/10.00/1.00/1.50/9.50"));
    r.lines().deleteCurrent();
    QCOMPARE(boxTexts(r), QStringLiteral("0.00/0.00/0.00/0.00/0.00/0.00"));
}

// The totals follow the withholding rate as soon as it changes.
void tst_Totals::rateChangeRecalculatesAtOnce() {
    InvoiceRecord r;
    r.lines().open();
    addLine(r, {1, 100, 0, 21});
    QCOMPARE(r.totalValue(TotalBox::Irpf), D(0.0));
    r.setText(RecordField::WithholdingRate, QStringLiteral("19"));
    QCOMPARE(r.totalValue(TotalBox::Irpf), D(19.0));
    QCOMPARE(r.totalValue(TotalBox::Total), D(102.0));
}

// The VAT summary: one group per exact rate, highest first, whatever its base.
void tst_Totals::groups_data() {
    QTest::addColumn<QList<Line>>("lines");
    QTest::addColumn<QString>("expected"); // rate:base:tax, highest rate first

    QTest::newRow("21, 10, 4, 0 keep their order")
        << QList<Line>{{1, 5, 0, 0}, {1, 100, 0, 4}, {1, 50.25, 0, 21}, {1, 20, 0, 10}}
        << "21:50.25:10.55 10:20.00:2.00 4:100.00:4.00 0:5.00:0.00";
    QTest::newRow("5 sits between 10 and 4")
        << QList<Line>{{1, 10, 0, 4}, {1, 10, 0, 5}, {1, 10, 0, 10}}
        << "10:10.00:1.00 5:10.00:0.50 4:10.00:0.40";
    QTest::newRow("7 and 21.4 have groups")
        << QList<Line>{{1, 100, 0, 21.4}, {1, 50, 0, 7}} << "21.4:100.00:21.40 7:50.00:3.50";
    QTest::newRow("negative group")
        << QList<Line>{{1, 100, 0, 21}, {-2, 30.125, 0, 10}} << "21:100.00:21.00 10:-60.25:-6.03";
    QTest::newRow("zero base keeps its group")
        << QList<Line>{{1, 10, 0, 21}, {-1, 10, 0, 21}, {1, 10, 0, 10}}
        << "21:0.00:0.00 10:10.00:1.00";
    QTest::newRow("several odd rates together")
        << QList<Line>{{1, 10.05, 0, 7.5},
                       {3, 1.01, 0, 12.345},
                       {1, 10.05, 0, 7.5},
                       {1, 99.99, 0, 0.01},
                       {2, 0.5, 0, 21.00000001}}
        << "21.00000001:1.00:0.21 12.345:3.03:0.37 7.5:20.10:1.51 0.01:99.99:0.01";
    QTest::newRow("the sum is rounded once per group")
        << QList<Line>{{1, 0.05, 0, 21}, {1, 0.05, 0, 21}, {1, 0.05, 0, 21}} << "21:0.15:0.03";
}

void tst_Totals::groups() {
    QFETCH(QList<Line>, lines);
    QFETCH(QString, expected);
    InvoiceRecord r;
    r.lines().open();
    for (const Line& l : lines)
        addLine(r, l);
    QStringList got;
    Decimal vat;
    for (const VatGroup& g : r.totals().groups) {
        got << g.rate.plainText(0, 8) + u':' + g.base.plainText(2, 2) + u':' +
                   g.tax.plainText(2, 2);
        vat += g.tax;
    }
    QCOMPARE(got.join(u' '), expected);
    QCOMPARE(r.totalValue(TotalBox::Iva), vat);
    // The same figures from the pure function, with no cursor moved.
    const int row = r.lines().currentRow();
    QCOMPARE(computeTotals(r.lines().lines(), Decimal()), r.totals());
    QCOMPARE(r.lines().currentRow(), row);
}

QTEST_APPLESS_MAIN(tst_Totals)
#include "tst_Totals.moc"
