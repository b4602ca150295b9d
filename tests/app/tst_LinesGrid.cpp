#include "FakePrompts.h"
#include "WindowTestKit.h"

#include "app/LinesGrid.h"
#include "app/LinesGridModel.h"
#include "app/uPrincipal.h"
#include "invoice/Memoria.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace WindowTestKit;

// Typing lines into the grid: the Enter walk, storing, the provisional
// figures, refused numbers, Esc, deleting, and the totals that follow.
class tst_LinesGrid : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_prompts = std::make_unique<FakePrompts>();
        m_window = openWindow(m_dir.path());
        m_grid = m_window->findChild<LinesGrid*>(QStringLiteral("SMDBGrid1"));
        QVERIFY(m_grid);
        // Entering the empty grid offers the first line.
        m_grid->setFocus(Qt::TabFocusReason);
        QCOMPARE(lines().state(), Memoria::State::Insert);
    }
    void cleanup() {
        m_window.reset();
        m_prompts.reset();
    }

    void enterWalksStoresAndShowsProvisionalFigures() {
        QCOMPARE(column(), 0);
        typeAndEnter(QStringLiteral("Tornillos"));
        QCOMPARE(column(), 1);
        typeAndEnter(QStringLiteral("3"));
        typeAndEnter(QStringLiteral("10"));
        QCOMPARE(column(), 3);
        QTest::keyClick(m_grid, Qt::Key_Return); // IMPORTE, nothing typed
        QCOMPARE(column(), 4);
        typeAndEnter(QStringLiteral("10"));
        // Leaving "DTO %" of a line being edited: the discounted unit price.
        QCOMPARE(column(), 5);
        QCOMPARE(cell(0, LineColumn::Importe), QStringLiteral("9,00"));
        QCOMPARE(cell(0, LineColumn::Total), QStringLiteral("27,00"));
        QTest::keyClick(m_grid, Qt::Key_Return); // DTO € -> TOTAL, no store
        QCOMPARE(column(), 6);
        QCOMPARE(lines().state(), Memoria::State::Insert);
        QTest::keyClick(m_grid, Qt::Key_Return); // TOTAL: store, back to the start
        QCOMPARE(column(), 0);
        QCOMPARE(lines().state(), Memoria::State::Browse);
        QCOMPARE(lines().count(), 1);
        const InvoiceLine& line = lines().lines().at(0);
        QCOMPARE(line.description, QStringLiteral("Tornillos"));
        QCOMPARE(line.amount, 30.0);
        QCOMPARE(line.discountAmount, 3.0);
        QCOMPARE(line.total, 27.0);
        QCOMPARE(cell(0, LineColumn::Importe), QStringLiteral("30,00"));
        QCOMPARE(cell(0, LineColumn::Descuento), QStringLiteral("3,00"));
        checkTotals({"30,00", "3,00", "27,00", "5,67", "0,00", "32,67"});
    }

    void enterOnRateColumnStoresToo() {
        typeAndEnter(QStringLiteral("Horas"));
        typeAndEnter(QStringLiteral("1234,5"));
        typeAndEnter(QStringLiteral("2"));
        goTo(LineColumn::Iva);
        typeAndEnter(QStringLiteral("10"));
        QCOMPARE(column(), 0);
        QCOMPARE(lines().count(), 1);
        QCOMPARE(cell(0, LineColumn::Total), QStringLiteral("2.469,00"));
        checkTotals({"2.469,00", "0,00", "2.469,00", "246,90", "0,00", "2.715,90"});
    }

    void refusesWhatIsNotANumber_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("enter") << int(Qt::Key_Return);
        QTest::newRow("tab") << int(Qt::Key_Tab);
    }
    void refusesWhatIsNotANumber() {
        QFETCH(int, key);
        goTo(LineColumn::Cantidad);
        QLineEdit* editor = type(QStringLiteral("3.5"));
        QTest::keyClick(editor, Qt::Key(key));
        QCOMPARE(m_prompts->errors(),
                 QStringList{"'3.5' is not a valid floating point value for field 'Cantidad'"});
        // The cell keeps the text and the cursor stays.
        QCOMPARE(column(), 1);
        QCOMPARE(openEditor(), editor);
        QCOMPARE(editor->text(), QStringLiteral("3.5"));
        editor->setText(QStringLiteral("3,5"));
        QTest::keyClick(editor, Qt::Key(key));
        QCOMPARE(column(), 2);
        QCOMPARE(lines().currentLine()->quantity, 3.5);
        QCOMPARE(m_prompts->errors().size(), 1);
    }

    void refusalAlsoWhenClickingElsewhere() {
        goTo(LineColumn::Precio);
        type(QStringLiteral("diez"));
        goTo(LineColumn::Descripcion);
        QCOMPARE(m_prompts->errors(),
                 QStringList{"'diez' is not a valid floating point value for field 'Precio'"});
        QCOMPARE(column(), 2);
    }

    void escapeCancelsTheLine() {
        enterLine(QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("5"));
        goTo(LineColumn::Cantidad);
        QLineEdit* editor = type(QStringLiteral("7"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(lines().state(), Memoria::State::Edit);
        QTest::keyClick(m_grid, Qt::Key_Escape);
        QCOMPARE(lines().state(), Memoria::State::Browse);
        QCOMPARE(cell(0, LineColumn::Cantidad), QStringLiteral("2,00"));
        QCOMPARE(shown(m_window.get(), "eBase"), QStringLiteral("10,00"));
    }

    void downPastTheLastLineAppends() {
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("5"));
        QTest::keyClick(m_grid, Qt::Key_Down);
        QCOMPARE(lines().state(), Memoria::State::Insert);
        QCOMPARE(m_grid->model()->rowCount(), 2);
        QCOMPARE(m_grid->currentIndex().row(), 1);
        // An untouched new line is not appended twice, and goes when the
        // focus leaves the grid.
        QTest::keyClick(m_grid, Qt::Key_Insert);
        QCOMPARE(m_grid->model()->rowCount(), 2);
        edit(m_window.get(), "Edit1")->setFocus(Qt::TabFocusReason);
        QCOMPARE(m_grid->model()->rowCount(), 1);
        QCOMPARE(lines().state(), Memoria::State::Browse);
        QCOMPARE(lines().count(), 1);
    }

    void tabLeavesAfterTheLastCell() {
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("5"));
        goTo(LineColumn::Iva);
        QTest::keyClick(m_grid, Qt::Key_Tab);
        QCOMPARE(m_window->focusWidget(), edit(m_window.get(), "DBEdit1"));
    }

    // Money columns show two decimals and thousands points; quantity and
    // price show their own decimals, from two to eight.
    void numbersShowInTheirForms_data() {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("discount");
        QTest::addColumn<QStringList>("shown"); // CANT., PRECIO, IMPORTE, DTO €, TOTAL
        QTest::newRow("whole") << "3"
                               << "10"
                               << "10" << QStringList{"3,00", "10,00", "30,00", "3,00", "27,00"};
        QTest::newRow("discount with three decimals")
            << "1"
            << "617,28"
            << "10" << QStringList{"1,00", "617,28", "617,28", "61,73", "555,55"};
        QTest::newRow("discount of one decimal")
            << "1"
            << "138"
            << "10" << QStringList{"1,00", "138,00", "138,00", "13,80", "124,20"};
        QTest::newRow("four decimals and thousands")
            << "1234,5678"
            << "2,5"
            << "1" << QStringList{"1.234,5678", "2,50", "3.086,42", "30,86", "3.055,56"};
        QTest::newRow("eight decimals, millions")
            << "0,12345678"
            << "1000000"
            << "1"
            << QStringList{"0,12345678", "1.000.000,00", "123.456,78", "1.234,57", "122.222,21"};
        QTest::newRow("beyond eight decimals")
            << "2,123456789"
            << "0,000000016"
            << "0" << QStringList{"2,12345679", "0,00000002", "0,00", "0,00", "0,00"};
        QTest::newRow("negative") << "-1234,5"
                                  << "2"
                                  << "10"
                                  << QStringList{"-1.234,50", "2,00", "-2.469,00", "-246,90",
                                                 "-2.222,10"};
    }
    void numbersShowInTheirForms() {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(QString, discount);
        QFETCH(QStringList, shown);
        typeAndEnter(QStringLiteral("Linea"));
        typeAndEnter(quantity);
        typeAndEnter(price);
        QTest::keyClick(m_grid, Qt::Key_Return); // IMPORTE
        typeAndEnter(discount);
        QTest::keyClick(m_grid, Qt::Key_Return); // DTO €
        QTest::keyClick(m_grid, Qt::Key_Return); // TOTAL: stored
        QCOMPARE(lines().count(), 1);
        const LineColumn columns[] = {LineColumn::Cantidad, LineColumn::Precio, LineColumn::Importe,
                                      LineColumn::Descuento, LineColumn::Total};
        QStringList cells;
        for (LineColumn c : columns)
            cells << cell(0, c);
        QCOMPARE(cells, shown);
    }

    // Ctrl+Tab and Ctrl+Shift+Tab leave the grid from any cell, taking an
    // open cell first; a refused number keeps the cursor in its cell.
    void controlTabLeavesTheGrid_data() {
        QTest::addColumn<bool>("forward");
        QTest::addColumn<QString>("typed"); // into PRECIO, left open; empty: no editor
        QTest::addColumn<bool>("leaves");
        QTest::newRow("forward, cell closed") << true << "" << true;
        QTest::newRow("back, cell closed") << false << "" << true;
        QTest::newRow("forward, cell open") << true << "12,5" << true;
        QTest::newRow("back, cell open") << false << "12,5" << true;
        QTest::newRow("forward, refused number") << true << "doce" << false;
        QTest::newRow("back, refused number") << false << "doce" << false;
    }
    void controlTabLeavesTheGrid() {
        QFETCH(bool, forward);
        QFETCH(QString, typed);
        QFETCH(bool, leaves);
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("5"));
        goTo(LineColumn::Precio);
        QWidget* target = nextOutside(forward);
        QVERIFY(target);
        QWidget* receiver = m_grid;
        if (!typed.isEmpty())
            receiver = type(typed);
        QVERIFY(receiver);
        QTest::keyClick(receiver, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                        forward ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
        if (leaves) {
            QCOMPARE(QApplication::focusWidget(), target);
            QCOMPARE(openEditor(), nullptr);
            if (!typed.isEmpty())
                QCOMPARE(lines().currentLine()->price, 12.5);
            QVERIFY(m_prompts->errors().isEmpty());
        } else {
            QCOMPARE(m_prompts->errors().size(), 1);
            QCOMPARE(openEditor(), receiver);
            QCOMPARE(column(), int(LineColumn::Precio));
        }
    }

    void doubleClickDeletesAfterAsking() {
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("100"));
        enterLine(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("50"));
        checkTotals({"150,00", "0,00", "150,00", "31,50", "0,00", "181,50"});
        m_grid->setCurrentIndex(m_grid->model()->index(0, 0));

        const QPoint cellCentre = m_grid->visualRect(m_grid->currentIndex()).center();
        QTest::mouseDClick(m_grid->viewport(), Qt::LeftButton, {}, cellCentre);
        QCOMPARE(m_prompts->textsOf(QStringLiteral("confirm")),
                 QStringList{QStringLiteral("¿Desea Eliminar linea?")});
        QCOMPARE(lines().count(), 2); // Cancel

        m_prompts->confirmAnswers << true;
        m_grid->SMDBGrid1DblClick();
        QCOMPARE(lines().count(), 1);
        QCOMPARE(lines().lines().at(0).description, QStringLiteral("B"));
        checkTotals({"50,00", "0,00", "50,00", "10,50", "0,00", "60,50"});

        m_prompts->confirmAnswers << true;
        m_grid->SMDBGrid1DblClick();
        QCOMPARE(lines().count(), 0);
        checkTotals({"0,00", "0,00", "0,00", "0,00", "0,00", "0,00"});
        QVERIFY(m_prompts->errors().isEmpty());
    }

    void rateListRecomputesWhenItCloses() {
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("10,05"));
        auto* rate = m_window->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        rate->setCurrentIndex(1); // "15": choosing alone computes nothing
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("0,00"));
        rate->showPopup();
        rate->hidePopup();
        QTRY_COMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("1,51"));
        checkTotals({"10,05", "0,00", "10,05", "2,11", "1,51", "10,65"});

        // Emptied and left: "0" again, without a new computation.
        rate->setEditText(QString());
        m_window->ComboBox1Exit();
        QCOMPARE(rate->currentText(), QStringLiteral("0"));
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("1,51"));
        m_window->ComboBox1CloseUp();
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("0,00"));
    }

    void fileReferenceFollowsTheCurrentLine() {
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
        enterLine(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
        QLineEdit* reference = edit(m_window.get(), "DBEdit1");
        reference->setFocus();
        QTest::keyClicks(reference, QStringLiteral("EXP-0000000000000000001")); // 23 typed
        QCOMPARE(reference->text(), QStringLiteral("EXP-0000000000000000"));
        m_grid->setCurrentIndex(m_grid->model()->index(0, 0));
        QCOMPARE(reference->text(), QString());
        QCOMPARE(lines().lines().at(1).fileReference, QStringLiteral("EXP-0000000000000000"));
    }

private:
    // The widget the tab chain reaches next (or before) outside the grid.
    QWidget* nextOutside(bool forward) const {
        QWidget* w = m_grid;
        for (int i = 0; i < 500; ++i) {
            w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
            if (w == m_grid)
                return nullptr;
            if (!m_grid->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) &&
                w->isVisibleTo(m_window.get()) && w->isEnabled() && !w->focusProxy())
                return w;
        }
        return nullptr;
    }
    Memoria& lines() { return m_window->record().lines(); }
    int column() const { return m_grid->currentIndex().column(); }
    QString cell(int row, LineColumn c) const {
        return m_grid->model()->index(row, int(c)).data().toString();
    }
    QLineEdit* openEditor() const { return m_grid->activeEditor(); }
    void goTo(LineColumn c) {
        const int row = qMax(0, m_grid->currentIndex().row());
        m_grid->setCurrentIndex(m_grid->model()->index(row, int(c)));
    }
    // Types into the current cell as a person does: the first key opens it.
    QLineEdit* type(const QString& text) {
        QTest::keyClick(m_grid, text.at(0).toLatin1());
        QLineEdit* editor = openEditor();
        if (!editor)
            return nullptr;
        QTest::keyClicks(editor, text.mid(1));
        return editor;
    }
    void typeAndEnter(const QString& text) {
        QLineEdit* editor = type(text);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
    }
    // A whole line: description, quantity, price; stored with Enter on TOTAL.
    void enterLine(const QString& description, const QString& quantity, const QString& price) {
        if (lines().state() != Memoria::State::Insert)
            QTest::keyClick(m_grid, Qt::Key_Down);
        goTo(LineColumn::Descripcion);
        typeAndEnter(description);
        typeAndEnter(quantity);
        typeAndEnter(price);
        for (int i = 3; i <= 6; ++i)
            QTest::keyClick(m_grid, Qt::Key_Return);
        QCOMPARE(lines().state(), Memoria::State::Browse);
    }
    void checkTotals(const QStringList& expected) {
        const char* boxes[] = {"eBruto", "eDto", "eBase", "eIva", "eIRPF", "eTotal"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(shown(m_window.get(), boxes[i]), expected[i]);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<FakePrompts> m_prompts;
    std::unique_ptr<TForm2> m_window;
    LinesGrid* m_grid = nullptr;
};

QTEST_MAIN(tst_LinesGrid)
#include "tst_LinesGrid.moc"
