#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/uAcercaDe.h"
#include "app/uAutoFirma.h"
#include "app/uPrincipal.h"
#include "app/uRegistro.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace WindowTestKit;

namespace {

const QString ImportText = QStringLiteral(
    "[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=15/03/2024\nVENCIMIENTO=15/04/2024\nLINEAS=2\n"
    "[VENDEDOR]\nENTIDAD=1234\nOFICINA=5678\nDC=01\nCUENTA=0123456789\nPERSONA=J\n"
    "NOMBRE=Talleres Íñiguez S.L.\nNIF=B15123458\n"
    "[COMPRADOR]\nPERSONA=F\nNOMBRE=Ana\nAPELLIDO1=Pérez\nAPELLIDO2=Ríos\nNIF=12345678Z\n"
    "[ADMON]\nGESTOR=L01\nOFICINA=L02\nUNIDAD=L03\nNOMBREGESTOR=Concello\n"
    "[LINEAS]\nNOMBRE1=Revisión\nPRECIO1=100\nCANTIDAD1=1\nIVA1=21\n"
    "NOMBRE2=Tasa\nPRECIO2=12,5\nCANTIDAD2=2\nIVA2=0\n");

const QString Registro =
    QStringLiteral("[MISDATOS]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\nIBAN=ES91\n"
                   "PERSONA=J\nNOMBRE=Mi Empresa S.L.\nNIF=B00000000\n");

} // namespace

// Keeping an invoice as a draft, starting a new one, the questions before
// anything unsaved is lost, what the status bar says, and settings saved
// while the window is open.
class MainWindowDraftsTest : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    // What a person adds on screen survives a draft: the document written
    // from the draft read back is the same, byte for byte.
    void draftRoundTripGivesTheSameDocument() {
        writeFile(path(), QStringLiteral("datos/F.ini"), ImportText);
        open();
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->AdvSmoothButton2Click();
        QCOMPARE(m_window->record().lines().count(), 2);
        // A file reference, a date and the tick on the first line, a typed rate.
        QLineEdit* reference = edit(m_window.get(), "DBEdit1");
        m_window->record().lines().moveTo(0);
        reference->setFocus();
        QTest::keyClicks(reference, QStringLiteral("EXP-9"));
        m_window->findChild<QDateEdit*>("RzDBDateTimeEdit1")->setDate(QDate(2024, 2, 1));
        m_window->findChild<QCheckBox*>("DBCheckBox1")->setChecked(true);
        m_window->record().lines().first();
        auto* rate = m_window->findChild<QComboBox*>("ComboBox1");
        rate->setEditText(QStringLiteral("7"));
        m_window->ComboBox1CloseUp();
        QVERIFY(m_window->hasUnsavedChanges());

        // Ctrl+S keeps it beside the file it came from, without asking.
        QTest::keyClick(m_window.get(), Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(m_prompts->kinds(), QStringList{"open"});
        QVERIFY(!m_window->hasUnsavedChanges());
        QVERIFY(!m_window->isWindowModified());
        QCOMPARE(m_window->statusText(),
                 QStringLiteral("Borrador guardado en %1")
                     .arg(QDir::toNativeSeparators(file(QStringLiteral("datos/F.ini")))));
        const QByteArray draft = readAll(file(QStringLiteral("datos/F.ini")));
        QVERIFY(draft.contains("EXPEDIENTE1=EXP-9"));
        QVERIFY(draft.contains("IRPF=7"));

        // The imported invoice has no addresses yet: the check asks, and it is saved anyway.
        m_prompts->confirmAnswers << true;
        m_window->Button2Click();
        const QByteArray first = readAll(file(QStringLiteral("datos/F.XML")));
        QVERIFY(first.contains("<TaxRate>7.00</TaxRate>"));

        // A new invoice, then the draft opened with Ctrl+O.
        m_window->newInvoice();
        QCOMPARE(m_window->record().lines().count(), 0);
        QVERIFY(QFile::remove(file(QStringLiteral("datos/F.XML"))));
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        QTest::keyClick(m_window.get(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(m_window->record().lines().count(), 2);
        QCOMPARE(m_window->record().lines().lines()[0].fileReference, QStringLiteral("EXP-9"));
        QCOMPARE(rate->currentText(), QStringLiteral("7"));
        m_prompts->confirmAnswers << true;
        m_window->Button2Click();
        QCOMPARE(readAll(file(QStringLiteral("datos/F.XML"))), first);
        m_window->saveDraft();
        QCOMPARE(readAll(file(QStringLiteral("datos/F.ini"))), draft);
        QVERIFY(m_prompts->errors().isEmpty());
    }

    void firstDraftAsksWhereAndRemembersTheFolder() {
        open();
        QDir(path()).mkpath(QStringLiteral("borradores"));
        m_window->record().setText(RecordField::InvoiceSeries, QStringLiteral("B"));
        m_window->record().setText(RecordField::InvoiceNumber, QStringLiteral("3"));
        const QString target = file(QStringLiteral("borradores/B-3.ini"));
        m_prompts->fileAnswers << target;
        m_window->saveDraft();
        QCOMPARE(m_prompts->kinds(), QStringList{"save"});
        QCOMPARE(m_prompts->shown[0].text, TForm2::DraftFilter);
        QVERIFY(m_prompts->startPaths[0].endsWith(QStringLiteral("/B-3.ini")));
        QVERIFY(QFile::exists(target));
        // Next time without a question, to the same file.
        m_window->record().setText(RecordField::InvoiceNumber, QStringLiteral("4"));
        m_window->saveDraft();
        QCOMPARE(m_prompts->kinds(), QStringList{"save"});
        QVERIFY(readAll(target).contains("FACTURA=4"));
        // The save dialog of a new invoice starts in that folder, and so does
        // Abrir.
        m_window->newInvoice();
        m_window->saveDraft();
        QCOMPARE(m_prompts->startPaths.last(),
                 QDir(QDir::toNativeSeparators(file(QStringLiteral("borradores"))))
                     .filePath(QStringLiteral("B-5.ini")));
        m_window->openInvoiceFile();
        QCOMPARE(m_prompts->startPaths.last(),
                 QDir::toNativeSeparators(file(QStringLiteral("borradores"))));
    }

    // Every way that would lose unsaved changes asks first: Cancelar keeps
    // all; Descartar goes on; Guardar keeps the draft, then goes on, unless
    // the draft's save dialog is cancelled.
    void unsavedChangesAskFirst_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<Prompts::SaveChoice>("answer");
        QTest::addColumn<bool>("draftDialogCancelled");
        using C = Prompts::SaveChoice;
        const char* const ways[][2] = {{"exit button", "exit"},
                                       {"close box / Alt+F4", "close"},
                                       {"Capturar Datos", "capture"},
                                       {"Nueva factura", "new"},
                                       {"Abrir", "open"}};
        for (const auto& way : ways) {
            QTest::addRow("%s, Cancelar", way[0]) << way[1] << C::Cancel << false;
            QTest::addRow("%s, Descartar", way[0]) << way[1] << C::Discard << false;
            QTest::addRow("%s, Guardar", way[0]) << way[1] << C::Save << false;
            QTest::addRow("%s, Guardar, draft not saved", way[0]) << way[1] << C::Save << true;
        }
    }
    void unsavedChangesAskFirst() {
        QFETCH(QString, way);
        QFETCH(Prompts::SaveChoice, answer);
        QFETCH(bool, draftDialogCancelled);
        writeFile(path(), QStringLiteral("otra.ini"), ImportText);
        open();
        QVERIFY(!m_window->isWindowModified());
        QLineEdit* name = edit(m_window.get(), "Edit7"); // the customer's address
        name->setFocus();
        QTest::keyClicks(name, QStringLiteral("Calle tecleada"));
        QVERIFY(m_window->isWindowModified());

        m_prompts->saveChoices << answer;
        const QString draft = file(QStringLiteral("borrador.ini"));
        if (answer == Prompts::SaveChoice::Save)
            m_prompts->fileAnswers << (draftDialogCancelled ? QString() : draft);
        m_prompts->fileAnswers << file(QStringLiteral("otra.ini"));
        go(way);
        QCOMPARE(m_prompts->kinds().value(0), QStringLiteral("unsaved"));
        QVERIFY(m_prompts->shown[0].text.contains(QStringLiteral("cambios sin guardar")));
        QCOMPARE(m_prompts->kinds().count(QStringLiteral("unsaved")), 1);

        const bool goesOn = answer == Prompts::SaveChoice::Discard ||
                            (answer == Prompts::SaveChoice::Save && !draftDialogCancelled);
        QCOMPARE(QFile::exists(draft), goesOn && answer == Prompts::SaveChoice::Save);
        if (QFile::exists(draft))
            QVERIFY(readAll(draft).contains("DIRECCION=Calle tecleada"));
        if (!goesOn) {
            QVERIFY(m_window->isVisible());
            QCOMPARE(name->text(), QStringLiteral("Calle tecleada"));
            QVERIFY(m_window->isWindowModified());
        } else if (way == u"exit" || way == u"close") {
            QVERIFY(!m_window->isVisible());
        } else {
            QVERIFY(name->text() != QStringLiteral("Calle tecleada"));
            QVERIFY(!m_window->isWindowModified());
        }
    }

    void nothingUnsavedNothingAsked() {
        writeFile(path(), QStringLiteral("otra.ini"), ImportText);
        open();
        m_prompts->fileAnswers << file(QStringLiteral("otra.ini"));
        m_window->openInvoiceFile();
        m_window->newInvoice();
        QCOMPARE(m_prompts->kinds(), QStringList{"open"});
        QVERIFY(m_window->close());
        QCOMPARE(m_prompts->kinds(), QStringList{"open"});
    }

    void generatingClearsTheMark() {
        open();
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        QVERIFY(m_window->isWindowModified());
        const QString saved = file(QStringLiteral("F.XML"));
        m_prompts->fileAnswers << saved;
        m_prompts->confirmAnswers << true; // an empty invoice: saved anyway
        m_window->Button2Click();
        QVERIFY(!m_window->isWindowModified());
        QCOMPARE(m_window->statusText(),
                 QStringLiteral("Factura guardada en %1").arg(QDir::toNativeSeparators(saved)));
        // Signing proposes the document just written.
        m_window->Button4Click();
        QCOMPARE(m_prompts->startPaths.last(), saved);
    }

    // A new invoice is the program's start again, numbered after the last one.
    void newInvoiceStartsAsTheProgramDoes() {
        writeFile(path(), QStringLiteral("Registro.Ini"), Registro);
        // An invoice of the user's own, from another program.
        writeFile(path(), QStringLiteral("datos/F.ini"),
                  QString(ImportText)
                      .replace(QStringLiteral("NIF=B15123458"), QStringLiteral("NIF=B00000000")));
        open();
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->AdvSmoothButton2Click();
        QCOMPARE(m_window->statusText(),
                 QStringLiteral("Importadas 2 líneas de %1")
                     .arg(QDir::toNativeSeparators(file(QStringLiteral("datos/F.ini")))));
        m_prompts->confirmAnswers << true; // no addresses yet: saved anyway
        m_window->Button2Click();          // beside the import: A 7 is the last number used
        m_window->findChild<QComboBox*>("ComboBox1")->setEditText(QStringLiteral("15"));
        m_window->ComboBox1Exit(); // a typed rate counts once its text is finished

        QTest::keyClick(m_window.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(m_prompts->kinds(),
                 (QStringList{"open", "confirm", "unsaved"})); // the rate was unsaved
        m_prompts->saveChoices << Prompts::SaveChoice::Discard;
        m_window->newInvoice();
        InvoiceRecord& r = m_window->record();
        QCOMPARE(r.lines().count(), 0);
        QVERIFY(r.lines().isOpen());
        QCOMPARE(edit(m_window.get(), "Edit1")->text(), QStringLiteral("Mi Empresa S.L."));
        QCOMPARE(edit(m_window.get(), "Edit13")->text(), QStringLiteral("2100"));
        QCOMPARE(edit(m_window.get(), "Edit8")->text(), QString());
        QCOMPARE(edit(m_window.get(), "Edit21")->text(), QString());
        QVERIFY(!edit(m_window.get(), "Edit21")->isVisible());
        QCOMPARE(caption(m_window.get(), "Label7"), QStringLiteral("R. Social"));
        QVERIFY(!m_window->findChild<QCheckBox*>("CheckBox1")->isChecked());
        QCOMPARE(edit(m_window.get(), "eGestor")->text(), QString());
        QCOMPARE(m_window->findChild<QComboBox*>("ComboBox1")->currentText(), QStringLiteral("0"));
        QCOMPARE(shown(m_window.get(), "eTotal"), QStringLiteral("0,00"));
        QCOMPARE(m_window->findChild<QDateEdit*>("FechaFactura")->date(), QDate::currentDate());
        QCOMPARE(m_window->findChild<QDateEdit*>("FechaVencimiento")->date(), QDate::currentDate());
        QCOMPARE(r.nombreFichero(), QString());
        QCOMPARE(edit(m_window.get(), "Edit24")->text(), QStringLiteral("A"));
        QCOMPARE(edit(m_window.get(), "Edit25")->text(), QStringLiteral("8"));
        QVERIFY(!m_window->isWindowModified());
        QCOMPARE(m_window->statusText(), QStringLiteral("Nueva factura"));
    }

    void validarAlwaysShowsTheAddress_data() {
        QTest::addColumn<bool>("browserOpens");
        QTest::newRow("browser") << true;
        QTest::newRow("no browser") << false;
    }
    void validarAlwaysShowsTheAddress() {
        QFETCH(bool, browserOpens);
        open();
        QList<QUrl> asked;
        m_window->setUrlOpener([&](const QUrl& url) {
            asked << url;
            return browserOpens;
        });
        // Enter on the focused button presses it.
        auto* button = m_window->findChild<QToolButton*>("AdvSmoothButton5");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(asked.size(), 1);
        const QString address = asked[0].toString();
        QVERIFY(address.startsWith(QStringLiteral("https://")));
        QCOMPARE(m_window->statusText(), QStringLiteral("Página de validación: %1").arg(address));
        QCOMPARE(m_prompts->kinds(), QStringList{"inform"});
        QVERIFY(m_prompts->shown[0].text.contains(address));
        QCOMPARE(m_prompts->shown[0].text.contains(QStringLiteral("No se ha podido abrir")),
                 !browserOpens);
    }

    // "Mis datos" saved while the window is open reaches the invoice: at once
    // when its issuer is still what was loaded, after asking when the issuer
    // came from an import file.
    void savedIssuerReachesTheWindow_data() {
        QTest::addColumn<bool>("imported");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("as loaded") << false << false << "Nueva Razón S.A.";
        QTest::newRow("imported, keep it") << true << false << "Talleres Íñiguez S.L.";
        QTest::newRow("imported, replace") << true << true << "Nueva Razón S.A.";
    }
    void savedIssuerReachesTheWindow() {
        QFETCH(bool, imported);
        QFETCH(bool, answer);
        QFETCH(QString, expected);
        writeFile(path(), QStringLiteral("Registro.Ini"), Registro);
        open();
        if (imported) {
            writeFile(path(), QStringLiteral("datos/F.ini"), ImportText);
            m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
            m_window->openInvoiceFile();
            m_prompts->reset();
        }
        QStringList opened;
        m_window->setModalRunner([&](QDialog& dialog) {
            opened << QLatin1String(dialog.metaObject()->className());
            // What "Guardar Cambios" leaves in the file.
            QString text = Registro;
            writeFile(path(), QStringLiteral("Registro.Ini"),
                      text.replace(QStringLiteral("Mi Empresa S.L."),
                                   QStringLiteral("Nueva Razón S.A.")));
        });
        m_prompts->confirmAnswers << answer;
        m_window->findChild<QAction*>("actionMisDatos")->trigger();
        QCOMPARE(opened, QStringList{"TFormRegistro"});
        QCOMPARE(m_prompts->kinds(), imported ? QStringList{"confirm"} : QStringList{});
        QCOMPARE(edit(m_window.get(), "Edit1")->text(), expected);
    }

    void closedWithoutSavingChangesNothing() {
        writeFile(path(), QStringLiteral("Registro.Ini"), Registro);
        open();
        m_window->setModalRunner([](QDialog&) {});
        m_window->editIssuerSettings();
        m_window->Button5Click();
        QVERIFY(m_prompts->shown.isEmpty());
        QVERIFY(!m_window->isWindowModified());
        QCOMPARE(m_window->statusText(), QString());
    }

    void noAutoFirmaOffersTheSigningSettings() {
        open();
        QStringList opened;
        m_window->setModalRunner(
            [&](QDialog& dialog) { opened << QLatin1String(dialog.metaObject()->className()); });
        m_prompts->fileAnswers << file(QStringLiteral("F.xml"));
        m_prompts->confirmAnswers << true;
        m_window->Button4Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "confirm"}));
        QCOMPARE(opened, QStringList{"TFormAutoFirma"});
    }

    void settingsMenuOpensEachWindow_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("window");
        QTest::newRow("Mis datos") << "actionMisDatos"
                                   << "TFormRegistro";
        QTest::newRow("Administraciones") << "actionAdministraciones"
                                          << "TFormAdmon";
        QTest::newRow("Firma") << "actionFirma"
                               << "TFormAutoFirma";
        QTest::newRow("Acerca de") << "actionAcercaDe"
                                   << "TFormAcercaDe";
    }
    void settingsMenuOpensEachWindow() {
        QFETCH(QString, action);
        QFETCH(QString, window);
        open();
        QStringList opened;
        m_window->setModalRunner(
            [&](QDialog& dialog) { opened << QLatin1String(dialog.metaObject()->className()); });
        m_window->findChild<QAction*>(action)->trigger();
        QCOMPARE(opened, QStringList{window});
    }

    // The bar's buttons by what they do: a caption under each picture, the
    // menu's words and shortcut in the tooltip.
    void buttonsSayWhatTheyDo_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("import") << "AdvSmoothButton2"
                                << "Capturar"
                                << "Capturar datos (Ctrl+I)";
        QTest::newRow("validation page") << "AdvSmoothButton5"
                                         << "Validar"
                                         << "Validar (Ctrl+L)";
        QTest::newRow("check") << "ComprobarButton"
                               << "Comprobar"
                               << "Comprobar factura (Ctrl+K)";
        QTest::newRow("copy") << "VerImprimirButton"
                              << "Ver / Imprimir"
                              << "Ver / Imprimir (Ctrl+P)";
        QTest::newRow("about") << "AdvSmoothButton6"
                               << "Acerca de"
                               << "Acerca de (F1)";
    }
    void buttonsSayWhatTheyDo() {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        QFETCH(QString, tooltip);
        open();
        auto* b = m_window->findChild<QToolButton*>(button);
        QVERIFY(b);
        QCOMPARE(b->text(), caption);
        QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(b->toolTip(), tooltip);
    }

    // Every toolbar button shows its shortcut; the shortcuts are unique.
    void shortcutsInTheTooltips() {
        open();
        QStringList seen;
        for (QAction* action : m_window->actions()) {
            if (action->shortcut().isEmpty())
                continue;
            const QString keys = action->shortcut().toString(QKeySequence::NativeText);
            QVERIFY2(!seen.contains(keys), qPrintable(keys));
            seen << keys;
        }
        // A button says what its menu entry says, with the same shortcut.
        QList<QAction*> inMenus;
        for (QMenu* menu : m_window->menuBar()->findChildren<QMenu*>())
            inMenus << menu->actions();
        for (QToolButton* button :
             m_window->findChild<QWidget*>("Panel1")->findChildren<QToolButton*>()) {
            QAction* action = button->defaultAction();
            QVERIFY2(action && inMenus.contains(action), qPrintable(button->objectName()));
            QCOMPARE(button->toolTip(), QStringLiteral("%1 (%2)").arg(
                                            action->text().remove(u'&'),
                                            action->shortcut().toString(QKeySequence::NativeText)));
        }
        QVERIFY(seen.contains(
            QKeySequence(QStringLiteral("Ctrl+S")).toString(QKeySequence::NativeText)));
    }

private:
    void go(const QString& way) {
        if (way == u"exit")
            m_window->AdvSmoothButton4Click();
        else if (way == u"close")
            m_window->close();
        else if (way == u"capture")
            m_window->AdvSmoothButton2Click();
        else if (way == u"new")
            m_window->newInvoice();
        else if (way == u"open")
            m_window->openInvoiceFile();
    }
};

QTEST_MAIN(MainWindowDraftsTest)
#include "tst_MainWindowDrafts.moc"
