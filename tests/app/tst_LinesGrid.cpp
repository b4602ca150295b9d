#include "DecimalTestKit.h"
#include "FakePrompts.h"
#include "WindowTestKit.h"

#include "app/LinesGrid.h"
#include "app/LinesGridModel.h"
#include "app/uPrincipal.h"
#include "invoice/Memoria.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QScrollBar>
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
        // Leaving "DTO %" of a line being edited: the figures it will be
        // stored with (the line amount, not the discounted unit price).
        QCOMPARE(column(), 5);
        QCOMPARE(cell(0, LineColumn::Importe), QStringLiteral("30,00"));
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
        QCOMPARE(line.amount, D(30.0));
        QCOMPARE(line.discountAmount, D(3.0));
        QCOMPARE(line.total, D(27.0));
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
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        const int quantity = int(LineColumn::Cantidad);
        QTest::newRow("enter") << int(Qt::Key_Return) << quantity << "abc"
                               << "La cantidad «abc» no es un número (use la coma decimal: 12,50)";
        QTest::newRow("tab") << int(Qt::Key_Tab) << quantity << "abc"
                             << "La cantidad «abc» no es un número (use la coma decimal: 12,50)";
        QTest::newRow("ambiguous point") << int(Qt::Key_Return) << quantity << "1.500"
                                         << "La cantidad «1.500» es ambigua: escriba 1500 si son "
                                            "miles o 1,5 si es una cifra con decimales.";
        QTest::newRow("nine decimals")
            << int(Qt::Key_Return) << int(LineColumn::Precio) << "0,123456789"
            << "El precio «0,123456789» tiene más de 8 decimales.";
        QTest::newRow("quantity over 10^11")
            << int(Qt::Key_Return) << quantity << "100000000001"
            << "La cantidad «100000000001» debe estar entre -100.000.000.000 y "
               "100.000.000.000.";
        QTest::newRow("discount under -100")
            << int(Qt::Key_Return) << int(LineColumn::Dto) << "-101"
            << "El descuento «-101» debe estar entre -100 y 100 (negativo, un cargo)";
        QTest::newRow("negative VAT rate") << int(Qt::Key_Return) << int(LineColumn::Iva) << "-4"
                                           << "El tipo de IVA «-4» debe estar entre 0 y 100.";
    }
    void refusesWhatIsNotANumber() {
        QFETCH(int, key);
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        goTo(LineColumn(column));
        QLineEdit* editor = type(typed);
        QTest::keyClick(editor, Qt::Key(key));
        QCOMPARE(m_prompts->errors(), QStringList{message});
        // The cell keeps the text and the cursor stays.
        QCOMPARE(this->column(), column);
        QCOMPARE(openEditor(), editor);
        QCOMPARE(editor->text(), typed);
        editor->setText(QStringLiteral("3,5"));
        QTest::keyClick(editor, Qt::Key(key));
        // Enter on the rate stores the line and goes back to the start.
        QCOMPARE(this->column(), column == int(LineColumn::Iva) ? 0 : column + 1);
        const InvoiceLine& line = *lines().currentLine();
        const Decimal taken =
            column == int(LineColumn::Cantidad)
                ? line.quantity
                : (column == int(LineColumn::Precio)
                       ? line.price
                       : (column == int(LineColumn::Dto) ? line.discountPct : line.vatRate));
        QCOMPARE(taken, D("3.5"));
        QCOMPARE(m_prompts->errors().size(), 1);
    }

    // Typed with a point: one decimal point is read as such, a thousands point
    // with its comma.
    void typedPointForms_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("12.5") << "12.5"
                              << "12,50";
        QTest::newRow("0.1523") << "0.1523"
                                << "0,1523";
        QTest::newRow("1.234,50") << "1.234,50"
                                  << "1.234,50";
        QTest::newRow("eight decimals") << "0,12345678"
                                        << "0,12345678";
    }
    void typedPointForms() {
        QFETCH(QString, typed);
        goTo(LineColumn::Precio);
        typeAndEnter(typed);
        QTEST(cell(0, LineColumn::Precio), "shown");
        QVERIFY(m_prompts->errors().isEmpty());
    }

    void refusalAlsoWhenClickingElsewhere() {
        goTo(LineColumn::Precio);
        type(QStringLiteral("diez"));
        goTo(LineColumn::Descripcion);
        QCOMPARE(m_prompts->errors(),
                 QStringList{"El precio «diez» no es un número (use la coma decimal: 12,50)"});
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
        goTo(LineColumn::Calificacion);
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
        QTest::newRow("trailing zeros, smallest price")
            << "2,10000000"
            << "0,00000001"
            << "0" << QStringList{"2,10", "0,00000001", "0,00", "0,00", "0,00"};
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
                QCOMPARE(lines().currentLine()->price, D(12.5));
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
                 QStringList{QStringLiteral("¿Desea eliminar la línea?")});
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
        // "15" chosen with the keys or the wheel: the totals follow at once,
        // never showing a rate they were not worked out with.
        rate->setCurrentIndex(1);
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("1,51"));
        rate->showPopup();
        rate->hidePopup();
        QTRY_COMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("1,51"));
        checkTotals({"10,05", "0,00", "10,05", "2,11", "1,51", "10,65"});

        // Emptied and left: "0" again, and the totals follow at once.
        rate->setEditText(QString());
        m_window->ComboBox1Exit();
        QCOMPARE(rate->currentText(), QStringLiteral("0"));
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("0,00"));
        m_window->ComboBox1CloseUp();
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("0,00"));
    }

    // A rate typed into the list counts once its text is finished (Enter or
    // leaving the list); what is not a rate from 0 to 100 is refused.
    void typedWithholdingRate_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("irpf");
        QTest::addColumn<QString>("rateAfter");
        QTest::addColumn<QString>("message");
        QTest::newRow("19") << "19"
                            << "19,00"
                            << "19"
                            << "";
        QTest::newRow("7,5") << "7,5"
                             << "7,50"
                             << "7,5"
                             << "";
        QTest::newRow("not a number") << "abc"
                                      << "15,00"
                                      << "15"
                                      << "El tipo de retención del "
                                         "I.R.P.F. «abc» no es un número "
                                         "(use la coma decimal: 12,50)";
        QTest::newRow("negative") << "-5"
                                  << "15,00"
                                  << "15"
                                  << "El tipo de retención del I.R.P.F. «-5» debe estar entre 0 y "
                                     "100.";
        QTest::newRow("over 100") << "101"
                                  << "15,00"
                                  << "15"
                                  << "El tipo de retención del I.R.P.F. «101» debe estar entre 0 "
                                     "y 100.";
    }
    void typedWithholdingRate() {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("100"));
        auto* rate = m_window->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
        rate->setCurrentIndex(1);
        rate->showPopup();
        rate->hidePopup();
        QTRY_COMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("15,00"));

        rate->setFocus();
        rate->lineEdit()->selectAll();
        QTest::keyClicks(rate->lineEdit(), typed);
        // Typing alone changes nothing.
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("15,00"));
        QTest::keyClick(rate->lineEdit(), Qt::Key_Return);
        QFETCH(QString, irpf);
        QCOMPARE(shown(m_window.get(), "eIRPF"), irpf);
        QTEST(rate->currentText(), "rateAfter");
        QTEST(m_window->record().text(RecordField::WithholdingRate), "rateAfter");
        QCOMPARE(m_prompts->errors(), message.isEmpty() ? QStringList() : QStringList{message});
    }

    // An exempt line is never taxed: the tick sets the rate to 0, another
    // rate clears the tick.
    void exemptTickAndRate() {
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("100"));
        checkTotals({"100,00", "0,00", "100,00", "21,00", "0,00", "121,00"});
        auto* exempt = m_window->findChild<QCheckBox*>(QStringLiteral("DBCheckBox1"));
        exempt->click();
        QVERIFY(exempt->isChecked());
        QCOMPARE(cell(0, LineColumn::Iva), QStringLiteral("0,00"));
        m_grid->setFocus();
        goTo(LineColumn::Iva);
        QTest::keyClick(m_grid, Qt::Key_Return); // stores the line
        QCOMPARE(lines().state(), Memoria::State::Browse);
        QVERIFY(lines().lines().at(0).isExempt());
        checkTotals({"100,00", "0,00", "100,00", "0,00", "0,00", "100,00"});

        goTo(LineColumn::Iva);
        typeAndEnter(QStringLiteral("10"));
        QVERIFY(!exempt->isChecked());
        QVERIFY(!lines().lines().at(0).isExempt());
        checkTotals({"100,00", "0,00", "100,00", "10,00", "0,00", "110,00"});
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

    // Wherever the cursor was, a new line is typed from its description, so
    // a description typed at once lands there.
    void newLineStartsAtTheDescription_data() {
        QTest::addColumn<QString>("way");
        QTest::newRow("Down from I.V.A. %") << "down";
        QTest::newRow("Insert from PRECIO") << "insert";
        QTest::newRow("Tab into the empty grid of a new invoice") << "new invoice";
        QTest::newRow("Tab from the customer into lines") << "tab";
    }
    void newLineStartsAtTheDescription() {
        QFETCH(QString, way);
        enterLine(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("5"));
        QWidget* customerLast = nextOutside(false);
        QVERIFY(customerLast);
        if (way == u"down") {
            goTo(LineColumn::Iva);
            QTest::keyClick(m_grid, Qt::Key_Down);
        } else if (way == u"insert") {
            goTo(LineColumn::Precio);
            QTest::keyClick(m_grid, Qt::Key_Insert);
        } else {
            goTo(LineColumn::Cantidad);
            if (way == u"new invoice") {
                m_prompts->confirmAnswers << true; // the line may go
                m_window->newInvoice();
            }
            customerLast->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(customerLast, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), m_grid);
        }
        QCOMPARE(column(), int(LineColumn::Descripcion));
        if (way == u"tab")
            return; // back on the line typed: nothing new
        typeAndEnter(QStringLiteral("Tornillos"));
        QCOMPARE(column(), int(LineColumn::Cantidad));
        QVERIFY(m_prompts->errors().isEmpty());
        QCOMPARE(lines().currentLine()->description, QStringLiteral("Tornillos"));
    }

    // Writing the document, its copy, its check or the draft leaves the
    // cursor on the line the person is on.
    void commandsKeepTheCurrentLine_data() {
        QTest::addColumn<QString>("keys");
        QTest::newRow("Generar factura") << "Ctrl+G";
        QTest::newRow("Ver / Imprimir") << "Ctrl+P";
        QTest::newRow("Comprobar factura") << "Ctrl+K";
        QTest::newRow("Guardar borrador") << "Ctrl+S";
    }
    void commandsKeepTheCurrentLine() {
        QFETCH(QString, keys);
        for (const char* name : {"A", "B", "C"})
            enterLine(QString::fromLatin1(name), QStringLiteral("1"), QStringLiteral("5"));
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("2100"));
        m_grid->setCurrentIndex(m_grid->model()->index(1, int(LineColumn::Precio)));
        m_prompts->fileAnswers << QDir(m_dir.path()).filePath(QStringLiteral("F.out"));
        m_prompts->confirmAnswers << true; // an invoice with errors: saved anyway
        const QKeySequence sequence(keys);
        QTest::keyClick(m_grid, Qt::Key(sequence[0].key()), sequence[0].keyboardModifiers());
        QCOMPARE(lines().currentRow(), 1);
        QCOMPARE(m_grid->currentIndex().row(), 1);
        QCOMPARE(column(), int(LineColumn::Precio));
        QCOMPARE(lines().state(), Memoria::State::Browse);
    }

    // A long invoice says how long it is, scrolls, and shows where the
    // cursor is.
    void longInvoiceShowsItsLength() {
        QString text = QStringLiteral("[DATOS_GENERALES]\nSERIE=A\nFACTURA=1\nFECHA=01/02/2026\n"
                                      "VENCIMIENTO=01/03/2026\nLINEAS=300\n[LINEAS]\n");
        for (int i = 1; i <= 300; ++i)
            text +=
                QStringLiteral("NOMBRE%1=Línea %1\nPRECIO%1=1\nCANTIDAD%1=1\nIVA%1=21\n").arg(i);
        const QString path = QDir(m_dir.path()).filePath(QStringLiteral("larga.ini"));
        writeFile(path, text.toUtf8());
        auto* group = m_window->findChild<QGroupBox*>(QStringLiteral("GroupBox4"));
        QCOMPARE(group->title(), QStringLiteral("&Detalle Factura"));
        m_prompts->fileAnswers << path;
        m_window->openInvoiceFile();
        QCOMPARE(lines().count(), 300);

        QCOMPARE(group->title(), QStringLiteral("&Detalle Factura — 300 líneas"));
        QApplication::processEvents();
        QVERIFY(m_grid->verticalScrollBar()->isVisible());
        QCOMPARE(m_grid->verticalScrollBar()->maximum(),
                 300 - m_grid->verticalScrollBar()->pageStep());
        // The cursor is on the first line, marked and in view.
        QCOMPARE(m_grid->currentIndex().row(), 0);
        QCOMPARE(m_grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("\u25b6"));
        QVERIFY(m_grid->viewport()->rect().contains(m_grid->visualRect(m_grid->currentIndex())));

        // The count follows the lines.
        m_prompts->confirmAnswers << true;
        m_grid->SMDBGrid1DblClick();
        QCOMPARE(group->title(), QStringLiteral("&Detalle Factura — 299 líneas"));
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
