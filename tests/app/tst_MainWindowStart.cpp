#include "FakePrompts.h"
#include "WindowTestKit.h"

#include "app/uPrincipal.h"
#include "common/AppVersion.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace WindowTestKit;

// The window as it opens, the issuer from Registro.Ini, Enter, the person
// types, the IBAN box, the number boxes and quitting.
class tst_MainWindowStart : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void opensEmptyWithCaptionAndSize() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        // "[*]" is where the caption shows unsaved changes; none yet.
        QCOMPARE(w->windowTitle(), QStringLiteral("Generación de Orvane. ") + GetVersionText() +
                                       QStringLiteral("[*]"));
        QVERIFY(!w->isWindowModified());
        QVERIFY(GetVersionText().startsWith(QStringLiteral("Ver. ")));
        // The designed client size where the screen has room; otherwise the
        // window stays on the screen's free area.
        const QSize room = w->screen()->availableGeometry().size();
        if (room.width() >= 1000 && room.height() >= 900)
            QCOMPARE(w->findChild<QWidget*>("ClientArea")->size(), QSize(978, 729));
        else
            QVERIFY(w->height() <= qMax(room.height(), w->minimumHeight()));
        QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(caption(w.get(), "Label1"), QStringLiteral("R.Social"));
        QCOMPARE(caption(w.get(), "Label7"), QStringLiteral("R. Social"));
        QVERIFY(w->findChild<QRadioButton*>("RadioButton3")->isChecked());
        QVERIFY(w->findChild<QRadioButton*>("RadioButton5")->isChecked());
        for (const char* hidden :
             {"Edit18", "Edit19", "Edit20", "Edit21", "Label19", "eGestor", "Label31"})
            QVERIFY2(!w->findChild<QWidget*>(hidden)->isVisible(), hidden);
        for (const char* box : {"eBruto", "eDto", "eBase", "eIva", "eIRPF", "eTotal"})
            QCOMPARE(shown(w.get(), box), QStringLiteral("0,00"));
        auto* rate = w->findChild<QComboBox*>("ComboBox1");
        QCOMPARE(rate->currentText(), QStringLiteral("0"));
        QCOMPARE(rate->count(), 4);
        QCOMPARE(rate->itemText(3), QStringLiteral("19"));
        QCOMPARE(w->findChild<QDateEdit*>("FechaFactura")->date(), QDate::currentDate());
        QCOMPARE(w->findChild<QDateEdit*>("FechaVencimiento")->text(),
                 QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        QVERIFY(w->record().lines().isOpen());
        QCOMPARE(w->findChild<QToolButton*>("AdvSmoothButton3")->toolTip(),
                 QStringLiteral("Generar factura (Ctrl+G)"));
        for (QToolButton* button : w->findChild<QWidget*>("Panel1")->findChildren<QToolButton*>()) {
            QVERIFY(!button->text().isEmpty());
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->cursor().shape(), Qt::PointingHandCursor);
        }
        QVERIFY(prompts.shown.isEmpty());
    }

    void loadsIssuerAtStart_data() {
        QTest::addColumn<QString>("registro"); // empty: no file
        QTest::addColumn<QString>("corporateName");
        QTest::addColumn<QString>("firstName");
        QTest::addColumn<QString>("contact");
        QTest::addColumn<bool>("natural");
        QTest::addColumn<bool>("hint"); // "Escriba sus datos en Configuración > Mis datos"
        const QString bank = QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\n"
                                            "CUENTA=0200051332\nIBAN=ES0000\n");
        const QString rest = QStringLiteral("NOMBRE=Ana\nAPELLIDO1=Pérez\nAPELLIDO2=Ríos\n"
                                            "DIRECCION=Rúa Nova 1\nNIF=B1\nCONTACTO=Luis\n");
        QTest::newRow("J") << bank + "PERSONA=J\n" + rest << "Ana"
                           << ""
                           << "Luis" << false << false;
        QTest::newRow("F") << bank + "PERSONA=F\n" + rest << ""
                           << "Ana"
                           << "" << true << false;
        QTest::newRow("lower j") << bank + "PERSONA=j\n" + rest << ""
                                 << ""
                                 << "" << false << true;
        QTest::newRow("no PERSONA") << bank + rest << ""
                                    << ""
                                    << "" << false << true;
        QTest::newRow("no file") << QString() << ""
                                 << ""
                                 << "" << false << true;
        QTest::newRow("J without a name") << bank + "PERSONA=J\nNIF=B1\n"
                                          << ""
                                          << ""
                                          << "" << false << true;
    }
    void loadsIssuerAtStart() {
        QFETCH(QString, registro);
        QFETCH(QString, corporateName);
        QFETCH(QString, firstName);
        QFETCH(QString, contact);
        QFETCH(bool, natural);
        if (!registro.isEmpty())
            writeFile(m_dir->path(), QStringLiteral("Registro.Ini"), registro);
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        QCOMPARE(edit(w.get(), "Edit1")->text(), corporateName);
        QCOMPARE(edit(w.get(), "Edit18")->text(), firstName);
        QCOMPARE(edit(w.get(), "Edit26")->text(), contact);
        QCOMPARE(edit(w.get(), "Edit26")->isVisible(), !natural);
        QCOMPARE(edit(w.get(), "Edit18")->isVisible(), natural);
        QCOMPARE(edit(w.get(), "Edit1")->isVisible(), !natural);
        QCOMPARE(w->findChild<QRadioButton*>("RadioButton4")->isChecked(), natural);
        QCOMPARE(caption(w.get(), "Label1"),
                 natural ? QStringLiteral("Nombre") : QStringLiteral("R.Social"));
        // The account comes whatever the person type says, and the IBAN is
        // worked out from it at once (the stored one was wrong).
        QCOMPARE(edit(w.get(), "Edit16")->text(),
                 registro.isEmpty() ? QString() : QStringLiteral("0200051332"));
        QCOMPARE(edit(w.get(), "Edit17")->text(),
                 registro.isEmpty() ? QString() : QStringLiteral("ES9121000418450200051332"));
        QCOMPARE(w->record().text(RecordField::Iban), edit(w.get(), "Edit17")->text());
        QVERIFY(prompts.shown.isEmpty());
        QTEST(w->findChild<QLabel*>("FirstStartHint")->isVisible(), "hint");
    }

    // The program starts with the number a new invoice would take.
    void proposesTheNextNumberAtStart_data() {
        QTest::addColumn<QString>("numeracion");
        QTest::addColumn<QString>("series");
        QTest::addColumn<QString>("number");
        QTest::newRow("nothing written yet") << ""
                                             << ""
                                             << "1";
        QTest::newRow("after A-0041") << "SERIE PROPIA=A\nA=0041\nB=9\n"
                                      << "A"
                                      << "0042";
    }
    void proposesTheNextNumberAtStart() {
        QFETCH(QString, numeracion);
        writeFile(m_dir->path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[MISDATOS]\nPERSONA=J\nNOMBRE=Mi Empresa S.L.\nNIF=B00000000\n"
                                 "[NUMERACION]\n") +
                      numeracion);
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        QTEST(edit(w.get(), "Edit24")->text(), "series");
        QTEST(edit(w.get(), "Edit25")->text(), "number");
        QVERIFY(!w->isWindowModified());
    }

    // The issuer's boxes show "Mis datos" and change only there: its button
    // opens it, and what it saves shows at once, the first-start banner gone.
    void issuerIsChangedInMyData() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        auto* hint = w->findChild<QLabel*>("FirstStartHint");
        QVERIFY(hint->isVisible());
        QVERIFY(hint->text().startsWith(QStringLiteral("Escriba sus datos en Configuración > Mis "
                                                       "datos")));
        for (QLineEdit* box : w->findChild<QWidget*>("GroupBox1")->findChildren<QLineEdit*>()) {
            QVERIFY2(box->isReadOnly(), qPrintable(box->objectName()));
            QVERIFY2(!(box->focusPolicy() & Qt::TabFocus), qPrintable(box->objectName()));
        }
        QLineEdit* name = edit(w.get(), "Edit1");
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Tecleado"));
        QCOMPARE(name->text(), QString());
        QVERIFY(!w->isWindowModified());

        QStringList opened;
        w->setModalRunner([&](QDialog& dialog) {
            opened << QLatin1String(dialog.metaObject()->className());
            writeFile(m_dir->path(), QStringLiteral("Registro.Ini"),
                      QStringLiteral("[MISDATOS]\nPERSONA=J\nNOMBRE=Mi Empresa S.L.\n"));
        });
        QTest::mouseClick(w->findChild<QPushButton*>("EditarMisDatos"), Qt::LeftButton);
        QCOMPARE(opened, QStringList{"TFormRegistro"});
        QCOMPARE(name->text(), QStringLiteral("Mi Empresa S.L."));
        QVERIFY(!hint->isVisible());
        QVERIFY(prompts.shown.isEmpty());
    }

    void enterMovesLikeTab_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        // The issuer's boxes only show "Mis datos": Enter passes them by.
        QTest::newRow("issuer's box to customer") << "Edit1"
                                                  << "CheckBox1";
        QTest::newRow("tax id to contact") << "Edit11"
                                           << "Edit27";
        QTest::newRow("customer name to address") << "Edit8"
                                                  << "Edit7";
        QTest::newRow("province to tax id") << "Edit12"
                                            << "Edit11";
        QTest::newRow("account parts") << "Edit13"
                                       << "Edit14";
        QTest::newRow("number to date") << "Edit25"
                                        << "FechaFactura";
        QTest::newRow("totals order") << "eBase"
                                      << "eIva";
        QTest::newRow("hidden skipped") << "RadioButton6"
                                        << "Edit8";
        QTest::newRow("issuer to customer") << "Edit28"
                                            << "CheckBox1";
    }
    void enterMovesLikeTab() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        auto* start = w->findChild<QWidget*>(from);
        start->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(start, Qt::Key_Return);
        QCOMPARE(w->focusWidget(), w->findChild<QWidget*>(to));
    }

    void enterInGridIsLeftToTheGrid() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        auto* grid = w->findChild<QWidget*>("SMDBGrid1");
        grid->setFocus(Qt::TabFocusReason);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(w->focusWidget(), grid);
    }

    void personTypeSwitching() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        InvoiceRecord& r = w->record();
        r.setText(RecordField::IssuerCorporateName, QStringLiteral("ACME S.L."));
        r.setText(RecordField::IssuerContact, QStringLiteral("Luis"));

        // The issuer's kind comes from "Mis datos" or an import file: its
        // buttons show it, and a click changes nothing.
        QTest::mouseClick(w->findChild<QRadioButton*>("RadioButton4"), Qt::LeftButton);
        QCOMPARE(r.personType(Party::Issuer), PersonType::LegalEntity);
        QCOMPARE(edit(w.get(), "Edit26")->text(), QStringLiteral("Luis"));

        r.selectPersonType(Party::Issuer, PersonType::NaturalPerson);
        QVERIFY(w->findChild<QRadioButton*>("RadioButton4")->isChecked());
        QVERIFY(!edit(w.get(), "Edit1")->isVisible());
        QVERIFY(edit(w.get(), "Edit18")->isVisible());
        QVERIFY(w->findChild<QLabel*>("Label20")->isVisible());
        QVERIFY(!edit(w.get(), "Edit26")->isVisible());
        QVERIFY(!w->findChild<QLabel*>("Label26")->isVisible());
        QCOMPARE(caption(w.get(), "Label1"), QStringLiteral("Nombre"));

        r.selectPersonType(Party::Issuer, PersonType::LegalEntity);
        QVERIFY(w->findChild<QRadioButton*>("RadioButton3")->isChecked());
        QVERIFY(edit(w.get(), "Edit1")->isVisible());
        QCOMPARE(edit(w.get(), "Edit1")->text(), QStringLiteral("ACME S.L."));
        QVERIFY(edit(w.get(), "Edit26")->isVisible());
        QCOMPARE(edit(w.get(), "Edit26")->text(), QString());

        QTest::mouseClick(w->findChild<QRadioButton*>("RadioButton6"), Qt::LeftButton);
        QVERIFY(edit(w.get(), "Edit21")->isVisible());
        QVERIFY(!edit(w.get(), "Edit27")->isVisible());
        QTest::mouseClick(w->findChild<QRadioButton*>("RadioButton5"), Qt::LeftButton);
        QCOMPARE(caption(w.get(), "Label7"), QStringLiteral("R.Social"));
    }

    void enteringIbanBoxWorksItOut_data() {
        QTest::addColumn<QStringList>("account"); // entity, office, control, number
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("iban");
        QTest::addColumn<QString>("error");
        QTest::newRow("control digits filled in")
            << QStringList{"1234", "5678", "", "0123456789"} << "01"
            << "ES5812345678010123456789"
            << "";
        QTest::newRow("control digits kept")
            << QStringList{"1234", "5678", "01", "0123456789"} << "01"
            << "ES5812345678010123456789"
            << "";
        QTest::newRow("all empty") << QStringList{"", "", "", ""} << ""
                                   << "KEPT"
                                   << "La cuenta bancaria está incompleta: la entidad y la "
                                      "oficina llevan 4 dígitos cada una y el número de cuenta 10.";
        // The IBAN follows the boxes: an account with a letter has none.
        QTest::newRow("letter in account") << QStringList{"1234", "5678", "", "01234567X9"} << ""
                                           << ""
                                           << "La cuenta bancaria lleva «X», que no es un dígito.";
    }
    void enteringIbanBoxWorksItOut() {
        QFETCH(QStringList, account);
        QFETCH(QString, control);
        QFETCH(QString, iban);
        QFETCH(QString, error);
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        const char* names[] = {"Edit13", "Edit14", "Edit15", "Edit16"};
        for (int i = 0; i < 4; ++i) {
            edit(w.get(), names[i])->setFocus();
            QTest::keyClicks(edit(w.get(), names[i]), account[i]);
        }
        w->record().setText(RecordField::Iban, QStringLiteral("KEPT"));
        // Enter from the account number goes into the IBAN box.
        QTest::keyClick(edit(w.get(), "Edit16"), Qt::Key_Return);
        QCOMPARE(w->focusWidget(), edit(w.get(), "Edit17"));
        QCOMPARE(edit(w.get(), "Edit15")->text(), control);
        QCOMPARE(edit(w.get(), "Edit17")->text(), iban);
        QCOMPARE(prompts.errors(), error.isEmpty() ? QStringList() : QStringList{error});
    }

    // What the totals boxes show is what the document carries: they can be
    // selected and copied, never typed over.
    void totalsBoxesAreReadOnly() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        for (const char* name : {"eBruto", "eDto", "eBase", "eIva", "eIRPF", "eTotal"}) {
            QLineEdit* box = edit(w.get(), name);
            QVERIFY2(box->isReadOnly(), name);
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, QStringLiteral("1234,5"));
            QTest::keyClick(box, Qt::Key_Return);
            QCOMPARE(box->text(), QStringLiteral("0,00"));
            box->selectAll();
            QCOMPARE(box->selectedText(), QStringLiteral("0,00"));
        }
        QVERIFY(w->record().totalValue(TotalBox::Base).isZero());
    }

    void limitsBindTypingOnly() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        QLineEdit* entity = edit(w.get(), "Edit13");
        entity->setFocus();
        QTest::keyClicks(entity, QStringLiteral("123456"));
        QCOMPARE(entity->text(), QStringLiteral("1234"));
        QCOMPARE(w->record().text(RecordField::BankEntity), QStringLiteral("1234"));
        w->record().setText(RecordField::BankAccountNumber, QStringLiteral("012345678901"));
        QCOMPARE(edit(w.get(), "Edit16")->text(), QStringLiteral("012345678901"));
    }

    // Enter in the window moves on like Tab; a date that does not exist is
    // refused on the way out and the invoice keeps the date it had.
    void impossibleDueDateIsRefused() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        auto* due = w->findChild<QDateEdit*>("FechaVencimiento");
        due->setDate(QDate(2027, 1, 15));
        due->setFocus(Qt::TabFocusReason);
        due->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(due, QStringLiteral("31022027"));
        QTest::keyClick(due, Qt::Key_Return);
        QApplication::processEvents();
        QCOMPARE(w->record().dueDate(), QDate(2027, 1, 15));
        QCOMPARE(due->date(), QDate(2027, 1, 15));
        QCOMPARE(prompts.kinds(), QStringList{"warn"});
        QVERIFY(prompts.shown[0].text.contains(QStringLiteral("«Fecha Vencimiento»")));
        QCOMPARE(w->focusWidget(), due);
    }

    void quitAsksFirst() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        prompts.confirmAnswers << false;
        w->AdvSmoothButton4Click();
        QVERIFY(w->isVisible());
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown[0].caption, QStringLiteral("Orvane"));
        QCOMPARE(prompts.shown[0].text, QStringLiteral("¿Desea Abandonar la Aplicación?"));
        prompts.confirmAnswers << true;
        w->AdvSmoothButton4Click();
        QVERIFY(!w->isVisible());
    }

    void closeBoxQuitsAtOnce() {
        FakePrompts prompts;
        auto w = openWindow(m_dir->path());
        QVERIFY(w->close());
        QVERIFY(prompts.shown.isEmpty());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(tst_MainWindowStart)
#include "tst_MainWindowStart.moc"
