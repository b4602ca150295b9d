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
    void exemptIsNeverCleared();
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
    QCOMPARE(l.quantity, 0.0);
    QCOMPARE(l.price, 0.0);
    QCOMPARE(l.discountPct, 0.0);
    QCOMPARE(l.vatRate, 21.0);
    QCOMPARE(l.amount, 0.0);
    QCOMPARE(l.total, 0.0);
    QCOMPARE(l.exempt, false);
    QCOMPARE(l.discountAmountSet, false); // DESCUENTO stays empty
    QVERIFY(l.description.isEmpty() && l.fileReference.isEmpty() && l.fileDate.isNull());

    // Stored unchanged: the arithmetic still runs.
    m.post();
    QCOMPARE(m.count(), 1);
    const InvoiceLine& stored = m.lines().at(0);
    QCOMPARE(stored.amount, 0.0);
    QCOMPARE(stored.discountAmount, 0.0);
    QVERIFY(stored.discountAmountSet);
    QCOMPARE(stored.total, 0.0);
    QCOMPARE(stored.exempt, false);
}

void tst_Memoria::arithmeticBeforePost_data() {
    QTest::addColumn<double>("quantity");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("dto");
    QTest::addColumn<double>("iva");
    QTest::addColumn<double>("importe");
    QTest::addColumn<double>("descuento");
    QTest::addColumn<double>("total");
    QTest::addColumn<double>("ivaLinea");
    QTest::addColumn<bool>("exempt");

    QTest::newRow("3 x 10 at 10 %")
        << 3.0 << 10.0 << 10.0 << 21.0 << 30.0 << 3.0 << 27.0 << 27.0 * 21 / 100 << false;
    // No rounding to cents: the double nearest to 0.1 stays.
    QTest::newRow("1 x 0.1") << 1.0 << 0.1 << 0.0 << 21.0 << 0.1 << 0.0 << 0.1 << 0.021 << false;
    QTest::newRow("rate 0 marks exempt")
        << 2.0 << 5.0 << 0.0 << 0.0 << 10.0 << 0.0 << 10.0 << 0.0 << true;
    QTest::newRow("rate 21.4") << 1.0 << 100.0 << 0.0 << 21.4 << 100.0 << 0.0 << 100.0 << 21.4
                               << false;
    QTest::newRow("negative discount raises the total")
        << 1.0 << 100.0 << -10.0 << 21.0 << 100.0 << -10.0 << 110.0 << 23.1 << false;
    QTest::newRow("credit line") << -2.0 << 12.5 << 0.0 << 10.0 << -25.0 << 0.0 << -25.0 << -2.5
                                 << false;
}

void tst_Memoria::arithmeticBeforePost() {
    QFETCH(double, quantity);
    QFETCH(double, price);
    QFETCH(double, dto);
    QFETCH(double, iva);
    Memoria m;
    m.open();
    addLine(m, {{}, quantity, price, dto, iva});
    const InvoiceLine& l = m.lines().at(0);
    QTEST(l.amount, "importe");
    QTEST(l.discountAmount, "descuento");
    QTEST(l.total, "total");
    QFETCH(double, ivaLinea);
    QVERIFY2(qAbs(l.vatAmount() - ivaLinea) < 1e-12, qPrintable(QString::number(l.vatAmount())));
    QTEST(l.exempt, "exempt");
}

void tst_Memoria::provisionalFiguresOnlyWhileEditing() {
    Memoria m;
    m.open();
    m.append();
    InvoiceLine line = *m.currentLine();
    line.quantity = 3;
    line.price = 10;
    line.discountPct = 10;
    m.setLine(line);
    m.provisionalFigures();
    QCOMPARE(m.currentLine()->amount, 9.0); // unit price after discount
    QCOMPARE(m.currentLine()->total, 27.0);
    QCOMPARE(m.currentLine()->discountAmountSet, false);

    m.post();
    QCOMPARE(m.lines().at(0).amount, 30.0);
    QCOMPARE(m.lines().at(0).discountAmount, 3.0);
    QCOMPARE(m.lines().at(0).total, 27.0);

    // Browsing: nothing changes.
    m.provisionalFigures();
    QCOMPARE(m.state(), Memoria::State::Browse);
    QCOMPARE(m.lines().at(0).amount, 30.0);
}

void tst_Memoria::exemptIsNeverCleared() {
    Memoria m;
    m.open();
    addLine(m, {{}, 1, 100, 0, 0});
    QVERIFY(m.lines().at(0).exempt);

    InvoiceLine line = m.lines().at(0);
    line.vatRate = 21;
    m.setLine(line);
    QCOMPARE(m.state(), Memoria::State::Edit);
    m.post();
    QVERIFY(m.lines().at(0).exempt);
    QCOMPARE(m.lines().at(0).vatRate, 21.0);
}

void tst_Memoria::vatAmountIgnoresExempt() {
    InvoiceLine line;
    line.vatRate = 21;
    line.total = 100;
    line.exempt = true;
    QCOMPARE(line.vatAmount(), 21.0);
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
    changed.price = 99;
    m.setLine(changed);
    QCOMPARE(m.currentLine()->price, 99.0);
    QCOMPARE(m.lines().at(0).price, 10.0);
    m.cancel();
    QCOMPARE(m.currentLine()->price, 10.0);
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
    QCOMPARE(m.lines().at(0).price, 10.0);
    QCOMPARE(m.lines().at(1).price, 30.0);
    QCOMPARE(m.currentRow(), 1);

    // Deleting while editing drops the edit and deletes the stored line.
    InvoiceLine changed = m.lines().at(1);
    changed.price = 99;
    m.setLine(changed);
    m.deleteCurrent();
    QCOMPARE(m.count(), 1);
    QCOMPARE(m.lines().at(0).price, 10.0);
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
    QCOMPARE(m.lines().at(0).price, 10.0);
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
    line.quantity = 2;
    line.price = 5;
    m.setLine(line);
    m.first();
    QCOMPARE(m.count(), 3);
    QCOMPARE(posts.count(), 1);
    QCOMPARE(m.lines().at(2).total, 10.0);

    m.last();
    QCOMPARE(m.currentRow(), 2);
    // Moving to another row stores the edit first.
    m.moveTo(0);
    InvoiceLine edited = m.lines().at(0);
    edited.quantity = 3;
    m.setLine(edited);
    m.moveTo(1);
    QCOMPARE(m.lines().at(0).total, 30.0);
    QCOMPARE(m.currentRow(), 1);
}

QTEST_APPLESS_MAIN(tst_Memoria)
#include "tst_Memoria.moc"
