#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/LineColumn.h"
#include "app/LinesGrid.h"
#include "app/uPrincipal.h"
#include "invoice/Memoria.h"
#include "widgets/DateBox.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

using namespace WindowTestKit;

namespace {

const QString Registro =
    QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\n"
                   "PERSONA=J\nNOMBRE=Talleres Mecánicos Íñiguez S.L.\nNIF=B15123458\n");

} // namespace

// What the person is typing counts when a command runs, exactly as leaving
// the box would: a rate typed into the I.R.P.F. list, a number in an open
// cell, a date. A value that would be refused stops the command; before the
// invoice is replaced or closed it stops it only when the invoice is to be
// kept. And the mouse wheel never changes a box the keyboard is not in.
class tst_MainWindowTyping : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() {
        startMainWindowTest();
        writeFile(path(), QStringLiteral("Registro.Ini"), Registro);
        QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"), invoiceFile()));
        open();
        m_window->setModalRunner([this](QDialog& dialog) {
            m_opened << QLatin1String(dialog.metaObject()->className());
            m_rateWhenShown = m_window->record().text(RecordField::WithholdingRate);
        });
        m_prompts->fileAnswers << invoiceFile();
        m_window->openInvoiceFile();
        QCOMPARE(m_window->record().lines().count(), 4);
        QVERIFY(!m_window->hasUnsavedChanges());
        m_prompts->reset();
        m_opened.clear();
    }
    void cleanup() { endMainWindowTest(); }

    // The command's shortcut is pressed while a box still holds what was
    // typed into it. answer: the reply to the unsaved-changes question
    // (OK: lose them) for the commands that replace or close the invoice.
    void commandTakesWhatIsTyped_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<bool>("told");    // why the typed value was refused
        QTest::addColumn<QString>("rate"); // the invoice's rate afterwards
        struct Command {
            const char* name;
            const char* keys;
        };
        const Command working[] = {{"save draft", "Ctrl+S"},
                                   {"generate", "Ctrl+G"},
                                   {"print", "Ctrl+P"},
                                   {"sign", "Ctrl+F"},
                                   {"check", "Ctrl+K"}};
        for (const Command& c : working) {
            QTest::addRow("%s, rate 18", c.name) << c.keys << "rate"
                                                 << "18" << false << true << false << "18";
            QTest::addRow("%s, refused rate", c.name) << c.keys << "rate"
                                                      << "abc" << false << false << true << "0";
        }
        const Command leaving[] = {
            {"new", "Ctrl+N"}, {"open", "Ctrl+O"}, {"import", "Ctrl+I"}, {"quit", "Ctrl+Q"}};
        for (const Command& c : leaving) {
            // The typed rate is a change to lose: the question comes, and
            // Cancel keeps it, taken.
            QTest::addRow("%s, rate 18, cancelled", c.name)
                << c.keys << "rate"
                << "18" << false << false << false << "18";
            // A slip never stops a person who wants to lose it.
            QTest::addRow("%s, refused rate, discarded", c.name)
                << c.keys << "rate"
                << "abc" << true << true << false << "0";
        }
        QTest::newRow("generate, quantity in an open cell") << "Ctrl+G"
                                                            << "cell"
                                                            << "5" << false << true << false << "0";
        QTest::newRow("generate, refused quantity") << "Ctrl+G"
                                                    << "cell"
                                                    << "cinco" << false << false << true << "0";
        QTest::newRow("generate, typed date") << "Ctrl+G"
                                              << "date"
                                              << "02042024" << false << true << false << "0";
        QTest::newRow("generate, 2026-001 typed as a date")
            << "Ctrl+G"
            << "date"
            << "20026001" << false << false << true << "0";
        QTest::newRow("save draft, typed date") << "Ctrl+S"
                                                << "date"
                                                << "02042024" << false << true << false << "0";
        QTest::newRow("new, refused quantity, discarded")
            << "Ctrl+N"
            << "cell"
            << "cinco" << true << true << false << "0";
    }
    void commandTakesWhatIsTyped() {
        QFETCH(QString, keys);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(bool, answer);
        QFETCH(bool, runs);
        QFETCH(bool, told);
        QFETCH(QString, rate);
        const bool leaving = QStringList{"Ctrl+N", "Ctrl+O", "Ctrl+I", "Ctrl+Q"}.contains(keys);

        QWidget* target = typeInto(box, typed);
        QVERIFY(target);
        if (leaving) // Descartar, or Cancelar
            m_prompts->saveChoices
                << (answer ? Prompts::SaveChoice::Discard : Prompts::SaveChoice::Cancel);
        if (keys == u"Ctrl+O" || keys == u"Ctrl+I")
            m_prompts->fileAnswers << invoiceFile();
        const QKeySequence sequence(keys);
        QTest::keyClick(target, Qt::Key(sequence[0].key()), sequence[0].keyboardModifiers());
        QApplication::processEvents(); // a refused date is told once the focus settles

        if (leaving) {
            QCOMPARE(m_prompts->kinds().value(0), QStringLiteral("unsaved"));
            QVERIFY(m_prompts->shown[0].text.contains(QStringLiteral("cambios sin guardar")));
        }
        QCOMPARE(ran(keys), runs);
        if (!(leaving && runs))
            QCOMPARE(m_window->record().text(RecordField::WithholdingRate), rate);
        // A value refused by a command that works on the invoice is
        // explained; one dropped on the way out is not.
        bool explained = !m_prompts->errors().isEmpty();
        for (const FakePrompts::Shown& s : std::as_const(m_prompts->shown))
            explained = explained || s.caption == u"Fecha no válida";
        QCOMPARE(explained, told);

        // What ran carries what was typed.
        if (runs && keys == u"Ctrl+G") {
            const QByteArray document = readAll(file(QStringLiteral("F2024-001.XML")));
            if (box == u"rate")
                QVERIFY(document.contains("<TaxRate>18.00</TaxRate>"));
            else if (box == u"cell")
                QVERIFY(document.contains("<Quantity>5.00</Quantity>"));
            else
                QVERIFY(document.contains("<IssueDate>2024-04-02</IssueDate>"));
        }
        if (runs && keys == u"Ctrl+S")
            QVERIFY(
                readAll(invoiceFile()).contains(box == u"rate" ? "IRPF=18" : "FECHA=02/04/2024"));
        if (runs && keys == u"Ctrl+P")
            QCOMPARE(m_rateWhenShown, rate);
    }

    // The answer to the unsaved-changes question decides what happens to a
    // rate still being typed before the invoice is replaced or closed.
    void answerDecidesWhatIsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<QString>("shownRate"); // what the list shows afterwards
        QTest::addColumn<bool>("draftSaved");
        using A = TForm2::UnsavedAnswer;
        QTest::newRow("save, refused") << "abc" << int(A::Save) << false << "0" << false;
        QTest::newRow("save, a rate") << "18" << int(A::Save) << true << "18" << true;
        QTest::newRow("discard, refused") << "abc" << int(A::Discard) << true << "0" << false;
        QTest::newRow("cancel, refused") << "abc" << int(A::Cancel) << false << "abc" << false;
    }
    void answerDecidesWhatIsTyped() {
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(QString, shownRate);
        QFETCH(bool, draftSaved);
        const QByteArray imported = readAll(invoiceFile());
        typeInto(QStringLiteral("rate"), typed);
        QTEST(m_window->leaveInvoice(TForm2::UnsavedAnswer(answer)), "goesOn");
        QCOMPARE(rateList()->currentText(), shownRate);
        QCOMPARE(readAll(invoiceFile()) != imported, draftSaved);
        if (draftSaved)
            QVERIFY(readAll(invoiceFile()).contains("IRPF=18"));
        // Only keeping a refused value explains why it cannot be kept.
        QCOMPARE(m_prompts->errors().size(),
                 answer == int(TForm2::UnsavedAnswer::Save) && typed == u"abc" ? 1 : 0);
    }

    // Scrolling the invoice on a small screen with the pointer over a box
    // the keyboard is not in moves the invoice, never the box's value.
    void wheelOverABoxWithoutTheKeyboard_data() {
        QTest::addColumn<QString>("box");
        QTest::newRow("Fecha") << "FechaFactura";
        QTest::newRow("Fecha Vencimiento") << "FechaVencimiento";
        QTest::newRow("I.R.P.F.") << "ComboBox1";
        QTest::newRow("Fecha Expediente") << "RzDBDateTimeEdit1";
    }
    void wheelOverABoxWithoutTheKeyboard() {
        QFETCH(QString, box);
        m_window->resize(m_window->minimumSize());
        QApplication::processEvents();
        QScrollBar* bar =
            m_window->findChild<QScrollArea*>(QStringLiteral("InvoiceScroll"))->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        edit(m_window.get(), "Edit8")->setFocus();
        auto* target = m_window->findChild<QWidget*>(box);
        const QString before = shownValue(target);
        const QDate issued = m_window->record().issueDate();

        turnWheel(target, -120);
        QCOMPARE(shownValue(target), before);
        QCOMPARE(m_window->record().issueDate(), issued);
        QCOMPARE(m_window->record().text(RecordField::WithholdingRate), QStringLiteral("0"));
        QVERIFY(bar->value() > 0);
        QVERIFY(!m_window->hasUnsavedChanges());
    }

    // In the list the keyboard is in, the wheel picks another rate, and the
    // totals follow at once.
    void wheelInTheRateListRecomputes() {
        QComboBox* rate = rateList();
        rate->setFocus();
        const QString total = shown(m_window.get(), "eTotal");
        turnWheel(rate, -120);
        QCOMPARE(rate->currentText(), QStringLiteral("15"));
        QCOMPARE(m_window->record().text(RecordField::WithholdingRate), QStringLiteral("15"));
        QCOMPARE(shown(m_window.get(), "eIRPF"), QStringLiteral("83,50"));
        QVERIFY(shown(m_window.get(), "eTotal") != total);
    }

private:
    QString invoiceFile() const { return file(QStringLiteral("F2024-001.ini")); }
    QComboBox* rateList() const { return m_window->findChild<QComboBox*>("ComboBox1"); }

    // Types into the box as a person does and leaves the keyboard there;
    // returns the widget that has it.
    QWidget* typeInto(const QString& box, const QString& typed) {
        if (box == u"rate") {
            QComboBox* rate = rateList();
            rate->setFocus();
            rate->lineEdit()->selectAll();
            QTest::keyClicks(rate->lineEdit(), typed);
            return rate->lineEdit();
        }
        if (box == u"cell") {
            auto* grid = m_window->findChild<LinesGrid*>("SMDBGrid1");
            grid->setFocus();
            grid->setCurrentIndex(grid->model()->index(0, int(LineColumn::Cantidad)));
            QTest::keyClick(grid, typed.at(0).toLatin1());
            QLineEdit* editor = grid->activeEditor();
            if (editor)
                QTest::keyClicks(editor, typed.mid(1));
            return editor;
        }
        auto* date = m_window->findChild<DateBox*>("FechaFactura");
        date->setFocus();
        date->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(date, typed);
        return date;
    }

    // Whether the command of keys did its work.
    bool ran(const QString& keys) const {
        if (keys == u"Ctrl+S")
            return readAll(invoiceFile()).contains("IRPF=");
        if (keys == u"Ctrl+G")
            return QFile::exists(file(QStringLiteral("F2024-001.XML")));
        if (keys == u"Ctrl+P")
            return m_opened.contains(QStringLiteral("InvoicePreview"));
        if (keys == u"Ctrl+F" || keys == u"Ctrl+O" || keys == u"Ctrl+I")
            return m_prompts->kinds().contains(QStringLiteral("open"));
        if (keys == u"Ctrl+K")
            return m_prompts->kinds().contains(QStringLiteral("warn")) ||
                   m_prompts->kinds().contains(QStringLiteral("inform"));
        if (keys == u"Ctrl+N")
            return m_window->record().lines().count() == 0;
        return !m_window->isVisible(); // Ctrl+Q
    }

    static QString shownValue(QWidget* box) {
        if (auto* date = qobject_cast<QDateEdit*>(box))
            return date->text();
        return qobject_cast<QComboBox*>(box)->currentText();
    }

    static void turnWheel(QWidget* over, int delta) {
        const QPointF at(over->width() / 2.0, over->height() / 2.0);
        QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &wheel);
    }

    QStringList m_opened;
    QString m_rateWhenShown;
};

QTEST_MAIN(tst_MainWindowTyping)
#include "tst_MainWindowTyping.moc"
