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
    void rateChangeNeedsARecalculation();
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
        parts << QString::number(r.totalValue(b), 'f', 2);
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
    QTest::newRow("7 % is in the base, not in the VAT")
        << QList<Line>{{1, 100, 0, 21}, {1, 50, 0, 7}} << "0"
        << "150.00/0.00/150.00/21.00/0.00/171.00";
    QTest::newRow("21.4 % is taxed at 21") << QList<Line>{{1, 100, 0, 21.4}} << "0"
                                           << "100.00/0.00/100.00/21.00/0.00/121.00";
    QTest::newRow("2.1105 and 1.5075 round on their own") << QList<Line>{{1, 10.05, 0, 21}} << "15"
                                                          << "10.05/0.00/10.05/2.11/1.51/10.65";
    QTest::newRow("20.5 rounds to 20: no VAT") << QList<Line>{{1, 100, 0, 20.5}} << "0"
                                               << "100.00/0.00/100.00/0.00/0.00/100.00";
    QTest::newRow("21.5 rounds to 22: no VAT") << QList<Line>{{1, 100, 0, 21.5}} << "0"
                                               << "100.00/0.00/100.00/0.00/0.00/100.00";
    QTest::newRow("3.5 rounds to 4") << QList<Line>{{1, 100, 0, 3.5}} << "0"
                                     << "100.00/0.00/100.00/4.00/0.00/104.00";
    QTest::newRow("4.5 rounds to 4") << QList<Line>{{1, 100, 0, 4.5}} << "0"
                                     << "100.00/0.00/100.00/4.00/0.00/104.00";
    QTest::newRow("10.5 rounds to 10") << QList<Line>{{1, 100, 0, 10.5}} << "0"
                                       << "100.00/0.00/100.00/10.00/0.00/110.00";
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
        << "14.99/4.73/10.26/1.13/1.95/9.44";
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

// The boxes keep what they show until something recalculates them.
void tst_Totals::rateChangeNeedsARecalculation() {
    InvoiceRecord r;
    r.lines().open();
    addLine(r, {1, 100, 0, 21});
    r.setText(RecordField::WithholdingRate, QStringLiteral("19"));
    QCOMPARE(r.totalCents(TotalBox::Irpf), 0);
    r.recalculateTotals();
    QCOMPARE(r.totalCents(TotalBox::Irpf), 1900);
    QCOMPARE(r.totalCents(TotalBox::Total), 10200);
}

QTEST_APPLESS_MAIN(tst_Totals)
#include "tst_Totals.moc"
