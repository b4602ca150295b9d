#include "DecimalTestKit.h"
#include "InvoiceBuilder.h"
#include "common/AppError.h"
#include "invoice/Memoria.h"

#include <QSignalSpy>
#include <QTest>

// The lines table: new-line defaults, the arithmetic before a post, the
// provisional figures, and the dataset states with their signals.
class tst_Memoria : public QObject {
    Q_OBJECT
private slots:
    void newLineDefaults();
    void arithmeticBeforePost_data();
    void arithmeticBeforePost();
    void provisionalFiguresOnlyWhileEditing();
    void exemptFollowsTheRate();
    void vatAmountIgnoresExempt();
    void postAndCancel();
    void deleting();
    void deletingAnUnpostedInsertDropsIt();
    void deletingOnEmptyTableThrows();
    void walkingSettlesTheEdit();
};

using InvoiceBuilder::addLine;

void tst_Memoria::newLineDefaults() {
    Memoria m;
    m.open();
    m.append();
    QCOMPARE(m.state(), Memoria::State::Insert);
    const InvoiceLine& l = *m.currentLine();
    QCOMPARE(l.quantity, D(0.0));
    QCOMPARE(l.price, D(0.0));
    QCOMPARE(l.discountPct, D(0.0));
    QCOMPARE(l.vatRate, D(21.0));
    QCOMPARE(l.amount, D(0.0));
    QCOMPARE(l.total, D(0.0));
    QCOMPARE(l.isExempt(), false);
    QCOMPARE(l.discountAmountSet, false); // DESCUENTO stays empty
    QVERIFY(l.description.isEmpty() && l.fileReference.isEmpty() && l.fileDate.isNull());

    // Stored unchanged: the arithmetic still runs.
    m.post();
    QCOMPARE(m.count(), 1);
    const InvoiceLine& stored = m.lines().at(0);
    QCOMPARE(stored.amount, D(0.0));
    QCOMPARE(stored.discountAmount, D(0.0));
    QVERIFY(stored.discountAmountSet);
    QCOMPARE(stored.total, D(0.0));
    QCOMPARE(stored.isExempt(), false);
}

void tst_Memoria::arithmeticBeforePost_data() {
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("dto");
    QTest::addColumn<QString>("iva");
    QTest::addColumn<QString>("importe");
    QTest::addColumn<QString>("descuento");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("ivaLinea");
    QTest::addColumn<bool>("exempt");

    QTest::newRow("3 x 10 at 10 %") << "3"
                                    << "10"
                                    << "10"
                                    << "21"
                                    << "30"
                                    << "3"
                                    << "27"
                                    << "5.67" << false;
    QTest::newRow("1 x 0.1") << "1"
                             << "0.1"
                             << "0"
                             << "21"
                             << "0.1"
                             << "0"
                             << "0.1"
                             << "0.02" << false;
    QTest::newRow("rate 0 marks exempt") << "2"
                                         << "5"
                                         << "0"
                                         << "0"
                                         << "10"
                                         << "0"
                                         << "10"
                                         << "0" << true;
    QTest::newRow("rate 21.4") << "1"
                               << "100"
                               << "0"
                               << "21.4"
                               << "100"
                               << "0"
                               << "100"
                               << "21.4" << false;
    QTest::newRow("negative discount raises the total") << "1"
                                                        << "100"
                                                        << "-10"
                                                        << "21"
                                                        << "100"
                                                        << "-10"
                                                        << "110"
                                                        << "23.1" << false;
    QTest::newRow("credit line") << "-2"
                                 << "12.5"
                                 << "0"
                                 << "10"
                                 << "-25"
                                 << "0"
                                 << "-25"
                                 << "-2.5" << false;
    // Importe is rounded to cents, halves away from zero, before anything else.
    QTest::newRow("1 x 2.675") << "1"
                               << "2.675"
                               << "0"
                               << "21"
                               << "2.68"
                               << "0"
                               << "2.68"
                               << "0.56" << false;
    QTest::newRow("credit tie") << "-1"
                                << "0.625"
                                << "0"
                                << "21"
                                << "-0.63"
                                << "0"
                                << "-0.63"
                                << "-0.13" << false;
    QTest::newRow("845 x 0.1523") << "845"
                                  << "0.1523"
                                  << "0"
                                  << "21"
                                  << "128.69"
                                  << "0"
                                  << "128.69"
                                  << "27.02" << false;
    QTest::newRow("discount on the rounded amount") << "3"
                                                    << "0.125"
                                                    << "50"
                                                    << "21"
                                                    << "0.38"
                                                    << "0.19"
                                                    << "0.19"
                                                    << "0.04" << false;
    QTest::newRow("eight-decimal price") << "7"
                                         << "0.12345678"
                                         << "0"
                                         << "10"
                                         << "0.86"
                                         << "0"
                                         << "0.86"
                                         << "0.09" << false;
    QTest::newRow("largest quantity and price") << "100000000000"
                                                << "-100000000000"
                                                << "12.5"
                                                << "21.4"
                                                << "-10000000000000000000000"
                                                << "-1250000000000000000000"
                                                << "-8750000000000000000000"
                                                << "-1872500000000000000000" << false;
    QTest::newRow("odd rate rounds the line tax") << "1"
                                                  << "10.05"
                                                  << "0"
                                                  << "7.5"
                                                  << "10.05"
                                                  << "0"
                                                  << "10.05"
                                                  << "0.75" << false;
}

void tst_Memoria::arithmeticBeforePost() {
    QFETCH(QString, quantity);
    QFETCH(QString, price);
    QFETCH(QString, dto);
    QFETCH(QString, iva);
    QFETCH(QString, importe);
    QFETCH(QString, descuento);
    QFETCH(QString, total);
    QFETCH(QString, ivaLinea);
    Memoria m;
    m.open();
    m.append();
    InvoiceLine line = *m.currentLine();
    line.quantity = D(qPrintable(quantity));
    line.price = D(qPrintable(price));
    line.discountPct = D(qPrintable(dto));
    line.vatRate = D(qPrintable(iva));
    m.setLine(line);
    m.post();
    const InvoiceLine& l = m.lines().at(0);
    QCOMPARE(l.amount, D(qPrintable(importe)));
    QCOMPARE(l.discountAmount, D(qPrintable(descuento)));
    QCOMPARE(l.total, D(qPrintable(total)));
    QCOMPARE(l.vatAmount(), D(qPrintable(ivaLinea)));
    QTEST(l.isExempt(), "exempt");
}

void tst_Memoria::provisionalFiguresOnlyWhileEditing() {
    Memoria m;
    m.open();
    m.append();
    InvoiceLine line = *m.currentLine();
    line.quantity = D(3);
    line.price = D(10);
    line.discountPct = D(10);
    m.setLine(line);
    m.provisionalFigures();
    // The stored arithmetic's figures: the line amount, not the discounted
    // unit price.
    QCOMPARE(m.currentLine()->amount, D(30.0));
    QCOMPARE(m.currentLine()->discountAmount, D(3.0));
    QCOMPARE(m.currentLine()->total, D(27.0));

    m.post();
    QCOMPARE(m.lines().at(0).amount, D(30.0));
    QCOMPARE(m.lines().at(0).discountAmount, D(3.0));
    QCOMPARE(m.lines().at(0).total, D(27.0));

    // Browsing: nothing changes.
    m.provisionalFigures();
    QCOMPARE(m.state(), Memoria::State::Browse);
    QCOMPARE(m.lines().at(0).amount, D(30.0));
}

// An exempt line is never taxed: a rate other than 0 clears the mark.
void tst_Memoria::exemptFollowsTheRate() {
    Memoria m;
    m.open();
    addLine(m, {{}, 1, 100, 0, 0});
    QVERIFY(m.lines().at(0).isExempt());

    InvoiceLine line = m.lines().at(0);
    line.vatRate = D(21);
    m.setLine(line);
    QCOMPARE(m.state(), Memoria::State::Edit);
    m.post();
    QVERIFY(!m.lines().at(0).isExempt());
    QCOMPARE(m.lines().at(0).vatRate, D(21.0));
    // Marked exempt by hand at 21: stored, the mark goes.
    line = m.lines().at(0);
    line.treatment = VatTreatment::E6;
    m.setLine(line);
    m.post();
    QVERIFY(!m.lines().at(0).isExempt());
}

void tst_Memoria::vatAmountIgnoresExempt() {
    InvoiceLine line;
    line.vatRate = D(21);
    line.total = D(100);
    line.treatment = VatTreatment::E6;
    QCOMPARE(line.vatAmount(), D(21.0));
}

void tst_Memoria::postAndCancel() {
    Memoria m;
    m.open();
    QSignalSpy posts(&m, &Memoria::afterPost);
    addLine(m, {{}, 1, 10});
    QCOMPARE(posts.count(), 1);
    QCOMPARE(m.state(), Memoria::State::Browse);
    QCOMPARE(m.currentRow(), 0);

    // Cancelling a new line drops it without a post.
    m.append();
    QCOMPARE(m.rowCount(), 2);
    QCOMPARE(m.currentRow(), 1);
    m.cancel();
    QCOMPARE(m.count(), 1);
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.state(), Memoria::State::Browse);
    QCOMPARE(posts.count(), 1);

    // Cancelling an edit restores the stored values.
    InvoiceLine changed = m.lines().at(0);
    changed.price = D(99);
    m.setLine(changed);
    QCOMPARE(m.currentLine()->price, D(99.0));
    QCOMPARE(m.lines().at(0).price, D(10.0));
    m.cancel();
    QCOMPARE(m.currentLine()->price, D(10.0));
    QCOMPARE(posts.count(), 1);

    // Closing discards every line.
    m.close();
    QVERIFY(!m.isOpen());
    QCOMPARE(m.count(), 0);
}

void tst_Memoria::deleting() {
    Memoria m;
    m.open();
    addLine(m, {{}, 1, 10});
    addLine(m, {{}, 1, 20});
    addLine(m, {{}, 1, 30});
    m.moveTo(1);
    QSignalSpy deletes(&m, &Memoria::afterDelete);
    QSignalSpy posts(&m, &Memoria::afterPost);
    m.deleteCurrent();
    QCOMPARE(deletes.count(), 1);
    QCOMPARE(posts.count(), 0);
    QCOMPARE(m.count(), 2);
    QCOMPARE(m.lines().at(0).price, D(10.0));
    QCOMPARE(m.lines().at(1).price, D(30.0));
    QCOMPARE(m.currentRow(), 1);

    // Deleting while editing drops the edit and deletes the stored line.
    InvoiceLine changed = m.lines().at(1);
    changed.price = D(99);
    m.setLine(changed);
    m.deleteCurrent();
    QCOMPARE(m.count(), 1);
    QCOMPARE(m.lines().at(0).price, D(10.0));
    QCOMPARE(m.currentRow(), 0);
    QCOMPARE(m.state(), Memoria::State::Browse);
}

void tst_Memoria::deletingAnUnpostedInsertDropsIt() {
    Memoria m;
    m.open();
    addLine(m, {{}, 1, 10});
    m.append();
    QSignalSpy deletes(&m, &Memoria::afterDelete);
    QSignalSpy posts(&m, &Memoria::afterPost);
    m.deleteCurrent();
    QCOMPARE(deletes.count(), 0); // no recalculation
    QCOMPARE(posts.count(), 0);
    QCOMPARE(m.count(), 1);
    QCOMPARE(m.lines().at(0).price, D(10.0));
}

void tst_Memoria::deletingOnEmptyTableThrows() {
    Memoria m;
    m.open();
    QSignalSpy deletes(&m, &Memoria::afterDelete);
    QVERIFY_THROWS_EXCEPTION(AppError, m.deleteCurrent());
    QCOMPARE(deletes.count(), 0);
    QCOMPARE(m.count(), 0);
}

void tst_Memoria::walkingSettlesTheEdit() {
    Memoria m;
    m.open();
    addLine(m, {{}, 1, 10});
    addLine(m, {{}, 1, 20});

    // An untouched new line is dropped by the walk.
    m.append();
    QSignalSpy posts(&m, &Memoria::afterPost);
    m.first();
    QCOMPARE(m.count(), 2);
    QCOMPARE(posts.count(), 0);
    QCOMPARE(m.currentRow(), 0);

    // A changed line is stored, with its arithmetic.
    m.append();
    InvoiceLine line = *m.currentLine();
    line.quantity = D(2);
    line.price = D(5);
    m.setLine(line);
    m.first();
    QCOMPARE(m.count(), 3);
    QCOMPARE(posts.count(), 1);
    QCOMPARE(m.lines().at(2).total, D(10.0));

    m.last();
    QCOMPARE(m.currentRow(), 2);
    // Moving to another row stores the edit first.
    m.moveTo(0);
    InvoiceLine edited = m.lines().at(0);
    edited.quantity = D(3);
    m.setLine(edited);
    m.moveTo(1);
    QCOMPARE(m.lines().at(0).total, D(30.0));
    QCOMPARE(m.currentRow(), 1);
}

QTEST_APPLESS_MAIN(tst_Memoria)
#include "tst_Memoria.moc"
