#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/LinesGrid.h"
#include "app/uAcercaDe.h"
#include "app/uAdmon.h"
#include "app/uPrincipal.h"
#include "invoice/Memoria.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace WindowTestKit;

namespace {

const QString ImportText = QStringLiteral(
    "[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=15/03/2024\nVENCIMIENTO=15/04/2024\nLINEAS=2\n"
    "[VENDEDOR]\nENTIDAD=1234\nOFICINA=5678\nDC=01\nCUENTA=0123456789\nPERSONA=J\n"
    "NOMBRE=Talleres Íñiguez S.L.\nNIF=B15123456\n"
    "[COMPRADOR]\nPERSONA=F\nNOMBRE=Ana\nAPELLIDO1=Pérez\nAPELLIDO2=Ríos\nNIF=12345678Z\n"
    "CONTACTO=no se ve\n"
    "%1"
    "[LINEAS]\nNOMBRE1=Revisión\nPRECIO1=100\nCANTIDAD1=1\nIVA1=21\n"
    "NOMBRE2=Tasa\nPRECIO2=12,5\nCANTIDAD2=2\nIVA2=0\n");

const QString AdmonText =
    QStringLiteral("[ADMON]\nGESTOR=L01\nOFICINA=L02\nUNIDAD=L03\nNOMBREGESTOR=Concello\n");

} // namespace

// The button bar: "Capturar Datos", "Generar Factura", "Firmar Factura" and
// "Contacto", with a fake AutoFirma that records how it was started.
class tst_MainWindowOperations : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void captureFromTheFixedFile() {
        writeFile(path(), QStringLiteral("Importa/Factura.Ini"), ImportText.arg(AdmonText));
        open();
        QStringList opened;
        int rowsBehind = -1;
        QString baseBehind;
        m_window->setModalRunner([&](QDialog& dialog) {
            opened << QLatin1String(dialog.metaObject()->className());
            // What the person sees behind the administration window.
            rowsBehind = m_window->findChild<LinesGrid*>("SMDBGrid1")->model()->rowCount();
            baseBehind = shown(m_window.get(), "eBase");
        });
        m_window->AdvSmoothButton2Click();

        QVERIFY(!m_prompts->kinds().contains(QStringLiteral("open")));
        QVERIFY(m_prompts->errors().isEmpty());
        QCOMPARE(edit(m_window.get(), "Edit24")->text(), QStringLiteral("A"));
        QCOMPARE(edit(m_window.get(), "Edit1")->text(), QStringLiteral("Talleres Íñiguez S.L."));
        QCOMPARE(edit(m_window.get(), "Edit21")->text(), QStringLiteral("Ana"));
        QVERIFY(edit(m_window.get(), "Edit21")->isVisible());
        QCOMPARE(edit(m_window.get(), "Edit27")->text(), QString());
        QCOMPARE(edit(m_window.get(), "Edit17")->text(),
                 QStringLiteral("ES5812345678010123456789"));
        QCOMPARE(m_window->findChild<QDateEdit*>("FechaFactura")->date(), QDate(2024, 3, 15));
        QCOMPARE(m_window->findChild<LinesGrid*>("SMDBGrid1")->model()->rowCount(), 2);
        QCOMPARE(shown(m_window.get(), "eBase"), QStringLiteral("125,00"));
        QCOMPARE(shown(m_window.get(), "eIva"), QStringLiteral("21,00"));
        QCOMPARE(m_window->record().nombreFichero(), QString());
        // A managing body ticks the box; with the fixed file the window opens,
        // over the whole invoice.
        QVERIFY(m_window->findChild<QCheckBox*>("CheckBox1")->isChecked());
        QCOMPARE(opened, QStringList{"TFormAdmon"});
        QCOMPARE(rowsBehind, 2);
        QCOMPARE(baseBehind, QStringLiteral("125,00"));
    }

    void captureThroughTheDialog() {
        writeFile(path(), QStringLiteral("datos/F2020-15.ini"), ImportText.arg(AdmonText));
        open();
        QStringList opened;
        m_window->setModalRunner(
            [&](QDialog& dialog) { opened << QLatin1String(dialog.metaObject()->className()); });
        m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("datos/F2020-15.ini"));
        m_window->AdvSmoothButton2Click();

        QCOMPARE(m_prompts->shown.at(0).kind, QStringLiteral("open"));
        QCOMPARE(m_prompts->shown.at(0).caption, QStringLiteral("Ficheros de importación (*.ini)"));
        QCOMPARE(m_prompts->shown.at(0).text, TForm2::OpenFilters);
        QCOMPARE(m_window->record().nombreFichero(), QStringLiteral("F2020-15"));
        QCOMPARE(edit(m_window.get(), "Edit25")->text(), QStringLiteral("7"));
        QVERIFY(m_window->findChild<QCheckBox*>("CheckBox1")->isChecked());
        QVERIFY(opened.isEmpty()); // ticked silently
        QCOMPARE(edit(m_window.get(), "eGestor")->text(), QStringLiteral("L01"));
    }

    void captureCancelledKeepsTheFields() {
        open();
        m_window->record().setText(RecordField::InvoiceSeries, QStringLiteral("B"));
        Memoria& lines = m_window->record().lines();
        lines.append();
        lines.post();
        m_prompts->saveChoices << Prompts::SaveChoice::Discard; // the typed series may go
        m_window->AdvSmoothButton2Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"unsaved", "open"}));
        QCOMPARE(edit(m_window.get(), "Edit24")->text(), QStringLiteral("B"));
        // Nothing is lost: the line stays.
        QVERIFY(lines.isOpen());
        QCOMPARE(lines.count(), 1);
        QVERIFY(!m_window->record().importando());
    }

    void captureStopsAtABadDate() {
        QString text = ImportText.arg(QString());
        text.replace(QStringLiteral("FECHA=15/03/2024\n"), QString());
        writeFile(path(), QStringLiteral("Importa/Factura.Ini"), text);
        open();
        m_window->AdvSmoothButton2Click();
        QCOMPARE(
            m_prompts->errors(),
            QStringList{
                "FECHA: falta la fecha de la factura; escriba una fecha válida como dd/mm/aaaa."});
        // A stopped import changes nothing.
        QCOMPARE(edit(m_window.get(), "Edit24")->text(), QString());
        QCOMPARE(edit(m_window.get(), "Edit1")->text(), QString());
        QCOMPARE(m_window->record().lines().count(), 0);
    }

    // A file the import refuses leaves the invoice on screen exactly as it
    // was, unsaved-changes mark included, and says why in Spanish.
    void refusedFileChangesNothing_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("error");
        const QString form = QStringLiteral("; escriba una fecha válida como dd/mm/aaaa.");
        QTest::newRow("impossible date")
            << "FECHA=15/03/2024"
            << "FECHA=31/02/2024"
            << "FECHA: la fecha de la factura «31/02/2024» no existe: febrero de 2024 tiene 29 "
               "días" +
                   form;
        QTest::newRow("no date") << "FECHA=15/03/2024"
                                 << ""
                                 << "FECHA: falta la fecha de la factura" + form;
        QTest::newRow("bad date of a file reference")
            << "IVA2=0"
            << "IVA2=0\nFECHAEXPEDIENTE2=2024-13-01"
            << "FECHAEXPEDIENTE2: la fecha del expediente de la línea 2 «2024-13-01» no existe: "
               "no hay mes 13" +
                   form;
        QTest::newRow("price with a decimal point")
            << "PRECIO2=12,5"
            << "PRECIO2=33.33"
            << "PRECIO2: «33.33» no es un número; escriba la coma decimal: 33,33.";
        QTest::newRow("withholding over 100")
            << "LINEAS=2"
            << "LINEAS=2\nIRPF=150"
            << "IRPF: el tipo de retención del I.R.P.F. «150» debe estar entre 0 y 100.";
    }

    void refusedFileChangesNothing() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, error);
        const QString good = ImportText.arg(QString());
        writeFile(path(), QStringLiteral("datos/F.ini"), good);
        writeFile(path(), QStringLiteral("datos/mal.ini"), QString(good).replace(from, to));
        open();
        m_prompts->fileAnswers << file(QStringLiteral("datos/F.ini"));
        m_window->openInvoiceFile();
        QVERIFY(m_prompts->errors().isEmpty());
        QVERIFY(!m_window->isWindowModified());
        const QByteArray before = m_window->session().currentDocument();
        const QString status = m_window->statusText();

        m_prompts->fileAnswers << file(QStringLiteral("datos/mal.ini"));
        m_window->openInvoiceFile();
        QCOMPARE(m_prompts->errors(), QStringList{error});
        QVERIFY(!m_window->isWindowModified());
        QVERIFY(!m_window->hasUnsavedChanges());
        QCOMPARE(m_window->session().currentDocument(), before);
        QCOMPARE(m_window->statusText(), status);
        QCOMPARE(edit(m_window.get(), "Edit24")->text(), QStringLiteral("A"));
    }

    void generateNeedsTheBankEntity() {
        open();
        m_window->record().setText(RecordField::Iban, QStringLiteral("ES5812345678010123456789"));
        m_window->Button2Click();
        QCOMPARE(m_prompts->shown.size(), 1);
        QCOMPARE(m_prompts->shown[0].kind, QStringLiteral("warn"));
        QCOMPARE(m_prompts->shown[0].caption, QStringLiteral("Orvane"));
        QCOMPARE(m_prompts->shown[0].text,
                 QStringLiteral("¡¡¡ Debe cumplimentar los datos bancarios !!!"));
    }

    // After a save through the dialog AutoFirma signs it, each path whole.
    void generateThroughTheDialogHandsOverToAutoFirma() {
        const QString folder = fakeAutoFirma(QStringLiteral("Auto Firma"));
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=autofirma.sh\n"
                                 "COMANDO=Sign -certgui\nFIRMA=-format FACTURAE\n")
                      .arg(folder));
        open();
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        QDir().mkpath(QDir(path()).filePath(QStringLiteral("Mis Facturas")));
        const QString saved = QDir(path()).filePath(QStringLiteral("Mis Facturas/F 001.XML"));
        m_prompts->fileAnswers << saved;
        m_prompts->confirmAnswers << true; // only the bank entity: saved anyway
        m_window->Button2Click();
        QTRY_VERIFY(!m_window->isSigning());

        QCOMPARE(m_prompts->kinds(), (QStringList{"save", "confirm"}));
        QCOMPARE(m_prompts->shown[0].text,
                 QStringLiteral("Facturas electrónicas sin firmar (*.XML)"));
        QCOMPARE(m_prompts->shown[0].caption, QStringLiteral("XML"));
        QVERIFY(QFileInfo::exists(saved));
        // A document with errors is never handed over to AutoFirma.
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("args.txt"))));

        // Once it passes the check, "Firmar Factura" hands it over, each path whole.
        QFile::remove(saved);
        QVERIFY(QFile::copy(QFINDTESTDATA("../facturae/data/other-program.xml"), saved));
        m_prompts->fileAnswers << saved;
        m_window->Button4Click();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isSigning(), 15000);
        const QString native = QDir::toNativeSeparators(saved);
        const QString signedName = native.left(native.size() - 3) + QStringLiteral("XSIG");
        QCOMPARE(recordedArguments(folder), (QStringList{"Sign", "-certgui", "-i", native, "-o",
                                                         signedName, "-format", "FACTURAE"}));
        QCOMPARE(m_window->session().files().signedOutput, signedName);
        QCOMPARE(m_window->session().autoFirmaSettings().folder, folder);
    }

    void generateWithoutAutoFirmaFolderEndsSilently_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("no settings") << QString();
        QTest::newRow("blanks") << QStringLiteral("   ");
    }
    void generateWithoutAutoFirmaFolderEndsSilently() {
        QFETCH(QString, folder);
        if (!folder.isEmpty())
            writeFile(path(), QStringLiteral("Registro.Ini"),
                      QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=\"%1\"\nPROGRAMA=x\n").arg(folder));
        open();
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        const QString saved = QDir(path()).filePath(QStringLiteral("F.XML"));
        m_prompts->fileAnswers << saved;
        m_prompts->confirmAnswers << true;
        m_window->Button2Click();
        QVERIFY(QFileInfo::exists(saved));
        QCOMPARE(m_prompts->kinds(), (QStringList{"save", "confirm"}));
        QCOMPARE(m_window->session().files().signedOutput, QString()); // not started
    }

    void generateCancelledWritesNothing() {
        open();
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        m_window->Button2Click();
        QCOMPARE(m_prompts->kinds(), QStringList{"save"});
        QCOMPARE(QDir(path()).entryList(QDir::Files), QStringList());
    }

    void generateBesideTheImportFile() {
        fakeAutoFirma(QStringLiteral("af"));
        writeFile(
            path(), QStringLiteral("Registro.Ini"),
            QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1/af\nPROGRAMA=autofirma.sh\n").arg(path()));
        writeFile(path(), QStringLiteral("datos/F2020-15.ini"), ImportText.arg(QString()));
        open();
        m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("datos/F2020-15.ini"));
        m_prompts->confirmAnswers << true;
        m_window->AdvSmoothButton2Click();
        m_window->Button2Click();
        const QString written = QDir(path()).filePath(QStringLiteral("datos/F2020-15.XML"));
        QVERIFY(QFileInfo::exists(written));
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "confirm"})); // no save dialog
        QVERIFY(!QFileInfo::exists(QDir(path()).filePath(QStringLiteral("af/args.txt"))));
        QFile file(written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray xml = file.readAll();
        QVERIFY(xml.contains("<BatchIdentifier>12345678ZA</BatchIdentifier>"));
        QVERIFY(xml.contains("<Name>Ana</Name>"));
    }

    // "Generar Factura" asks before replacing a document, naming it; a signed
    // copy beside it is named as the earlier invoice's and never touched.
    void generateAsksBeforeReplacing_data() {
        QTest::addColumn<bool>("throughDialog"); // else beside the import file
        QTest::addColumn<bool>("signedCopy");
        QTest::addColumn<bool>("replace");
        for (const bool dialog : {false, true})
            for (const bool xsig : {false, true})
                for (const bool yes : {false, true})
                    QTest::addRow("%s, %s, %s", dialog ? "dialog" : "beside the import",
                                  xsig ? "signed copy" : "no signed copy",
                                  yes ? "replaced" : "kept")
                        << dialog << xsig << yes;
    }
    void generateAsksBeforeReplacing() {
        QFETCH(bool, throughDialog);
        QFETCH(bool, signedCopy);
        QFETCH(bool, replace);
        writeFile(path(), QStringLiteral("datos/F.ini"), ImportText.arg(QString()));
        const QString document = QDir(path()).filePath(QStringLiteral("datos/F.XML"));
        const QString xsig = QDir(path()).filePath(QStringLiteral("datos/F.XSIG"));
        writeFile(path(), QStringLiteral("datos/F.XML"), QStringLiteral("anterior"));
        if (signedCopy)
            writeFile(path(), QStringLiteral("datos/F.XSIG"), QStringLiteral("firmada"));
        open();
        if (throughDialog) {
            m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
            m_prompts->fileAnswers << document; // then, declined, cancelled
        } else {
            m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("datos/F.ini"));
            m_window->AdvSmoothButton2Click();
            m_prompts->reset();
        }
        m_prompts->confirmAnswers << replace << true; // the second: saved with its errors
        m_window->Button2Click();

        const QString question = m_prompts->textsOf(QStringLiteral("confirm")).value(0);
        QVERIFY2(
            question.startsWith(
                QStringLiteral("Ya existe la factura %1.").arg(QDir::toNativeSeparators(document))),
            qPrintable(question));
        QCOMPARE(question.contains(QStringLiteral("La factura firmada %1 es de la factura anterior")
                                       .arg(QDir::toNativeSeparators(xsig))),
                 signedCopy);
        QCOMPARE(readAll(document) == "anterior", !replace);
        if (signedCopy)
            QCOMPARE(readAll(xsig), QByteArray("firmada"));
        // Declined in the dialog, the dialog comes back for another name.
        QCOMPARE(m_prompts->kinds().count(QStringLiteral("save")),
                 throughDialog ? (replace ? 1 : 2) : 0);
    }

    // A signed invoice's name is never a document's.
    void generateNeverWritesASignedName() {
        writeFile(path(), QStringLiteral("F.XSIG"), QStringLiteral("firmada"));
        open();
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("F.XSIG"))
                               << QDir(path()).filePath(QStringLiteral("nueva.xsig"));
        m_window->Button2Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"save", "warn", "save", "warn", "save"}));
        QVERIFY(m_prompts->textsOf(QStringLiteral("warn"))
                    .first()
                    .contains(QStringLiteral("es el de una factura firmada (.XSIG)")));
        QCOMPARE(readAll(QDir(path()).filePath(QStringLiteral("F.XSIG"))), QByteArray("firmada"));
        QVERIFY(!QFileInfo::exists(QDir(path()).filePath(QStringLiteral("nueva.xsig"))));
    }

    // An import file whose name ends in .XML would be replaced by its own
    // document: the window explains and asks for another name, refusing the
    // import file again when it is picked in the dialog.
    void generateNeverReplacesTheImportFile() {
        writeFile(path(), QStringLiteral("datos/F.XML"), ImportText.arg(QString()));
        const QString importPath = QDir(path()).filePath(QStringLiteral("datos/F.XML"));
        const QByteArray importBytes = readAll(importPath);
        open();
        const QString chosen = QDir(path()).filePath(QStringLiteral("datos/elegido.xml"));
        m_prompts->fileAnswers << importPath << importPath << chosen;
        m_prompts->confirmAnswers << true;
        m_window->AdvSmoothButton2Click();
        m_window->Button2Click();
        QCOMPARE(m_prompts->kinds(),
                 (QStringList{"open", "warn", "save", "warn", "save", "confirm"}));
        const QStringList warnings = m_prompts->textsOf(QStringLiteral("warn"));
        QVERIFY2(warnings.first().contains(QStringLiteral("es el fichero de importación")) &&
                     warnings.first().contains(QStringLiteral("Elija otro nombre")),
                 qPrintable(warnings.first()));
        QCOMPARE(readAll(importPath), importBytes);
        QVERIFY(readAll(chosen).contains("<Name>Ana</Name>"));
        QVERIFY(m_prompts->errors().isEmpty());
    }

    // The window and the command-line tool write the same document.
    void documentMatchesTheCommandLineTool() {
        writeFile(path(), QStringLiteral("datos/F.ini"), ImportText.arg(AdmonText));
        open();
        m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("datos/F.ini"));
        m_prompts->confirmAnswers << true;
        m_window->AdvSmoothButton2Click();
        m_window->Button2Click();
        QVERIFY(m_prompts->errors().isEmpty());

        const QString fromTool = QDir(path()).filePath(QStringLiteral("tool.xml"));
        QProcess tool;
        tool.start(QStringLiteral(ORVANE_CLI_PATH),
                   {QStringLiteral("generate"), QStringLiteral("--home"), path(),
                    QStringLiteral("-o"), fromTool,
                    QDir(path()).filePath(QStringLiteral("datos/F.ini"))});
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(readAll(QDir(path()).filePath(QStringLiteral("datos/F.XML"))), readAll(fromTool));
    }

    void signWithoutSettingsSaysSo() {
        open();
        m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("F.xml"));
        m_window->Button4Click();
        QCOMPARE(m_prompts->shown.size(), 2);
        QCOMPARE(m_prompts->shown[0].caption,
                 QStringLiteral("Facturas electrónicas sin firmar (*.xml)"));
        // The message offers the signing settings; declined here.
        QCOMPARE(m_prompts->shown[1].kind, QStringLiteral("confirm"));
        QCOMPARE(m_prompts->shown[1].caption, QStringLiteral("Factura Electrónica"));
        QVERIFY(m_prompts->shown[1].text.startsWith(
            QStringLiteral("¡¡¡ No se ha detectado AutoFirma !!!")));
        QVERIFY(m_prompts->shown[1].text.contains(QStringLiteral("Configuración > Firma")));

        m_window->Button4Click(); // cancelled: nothing more
        QCOMPARE(m_prompts->shown.size(), 3);
    }

    void signReportsAFailedStart() {
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=no-existe\n"
                                 "COMANDO=Sign -gui\nFIRMA=-format FACTURAE\n")
                      .arg(path()));
        open();
        const QString document = QDir(path()).filePath(QStringLiteral("F.xml"));
        QVERIFY(QFile::copy(QFINDTESTDATA("../facturae/data/other-program.xml"), document));
        m_prompts->fileAnswers << document;
        m_window->Button4Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "plain"}));
        QCOMPARE(m_prompts->shown[1].caption, QStringLiteral("Orvane"));
        QVERIFY(!m_prompts->shown[1].text.isEmpty());
    }

    // Settings the window does not offer start nothing: the message says why
    // and offers to open the signing settings.
    void signRefusesSettingsItDoesNotOffer_data() {
        QTest::addColumn<bool>("openSettings");
        QTest::newRow("settings opened") << true;
        QTest::newRow("declined") << false;
    }
    void signRefusesSettingsItDoesNotOffer() {
        QFETCH(bool, openSettings);
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=autofirma.sh\n"
                                 "COMANDO=Sign -certgui -o otro.xsig\nFIRMA=-format FACTURAE\n")
                      .arg(path()));
        open();
        QStringList opened;
        m_window->setModalRunner(
            [&](QDialog& dialog) { opened << QLatin1String(dialog.metaObject()->className()); });
        m_prompts->fileAnswers << QDir(path()).filePath(QStringLiteral("F.xml"));
        m_prompts->confirmAnswers << openSettings;
        m_window->Button4Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "confirm"}));
        const QString text = m_prompts->shown[1].text;
        QVERIFY2(text.startsWith(QStringLiteral("La configuración de AutoFirma no es válida")) &&
                     text.contains(QStringLiteral("Sign -certgui -o otro.xsig")) &&
                     text.endsWith(QStringLiteral("¿Desea abrir la configuración de AutoFirma?")),
                 qPrintable(text));
        QCOMPARE(opened, openSettings ? QStringList{"TFormAutoFirma"} : QStringList());
        QCOMPARE(m_window->session().files().signedOutput, QString()); // not started
    }

    // "Generar Factura" on an incomplete invoice lists what is wrong, naming
    // the fields on screen, and saves nothing when the person declines.
    void generateListsTheFindingsAndMaySaveNothing() {
        open();
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        m_window->record().setText(RecordField::IssuerTaxId, QStringLiteral("B15123456"));
        const QString saved = QDir(path()).filePath(QStringLiteral("F.XML"));
        m_prompts->fileAnswers << saved;
        m_prompts->confirmAnswers << false;
        m_window->Button2Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"save", "confirm"}));
        const QString text = m_prompts->shown[1].text;
        QVERIFY2(text.contains(QStringLiteral("• N.I.F./C.I.F. (Mis Datos): El NIF del emisor "
                                              "«B15123456» no es válido")),
                 qPrintable(text));
        QVERIFY(m_prompts->shown[1].details.contains(
            QStringLiteral("ERROR F-P1 /Facturae/Parties/SellerParty/")));
        QVERIFY2(text.contains(QStringLiteral("¿Guardarla de todos modos?")), qPrintable(text));
        QVERIFY(!QFileInfo::exists(saved));
    }

    // "Comprobar factura" (menu and Ctrl+K) runs that check at any moment and
    // says what it found, in a message and in the status bar.
    void checkTheInvoiceOnScreen() {
        open();
        QAction* check = m_window->findChild<QAction*>("actionComprobarFactura");
        QVERIFY(check);
        QCOMPARE(check->shortcut(), QKeySequence(QStringLiteral("Ctrl+K")));
        m_window->record().setText(RecordField::IssuerTaxId, QStringLiteral("B15123456"));
        check->trigger();
        QCOMPARE(m_prompts->kinds(), QStringList{"warn"});
        QVERIFY(m_prompts->shown[0].text.startsWith(QStringLiteral("La factura tiene errores")));
        QVERIFY2(m_prompts->shown[0].text.contains(
                     QStringLiteral("• N.I.F./C.I.F. (Mis Datos): El NIF del emisor «B15123456»")),
                 qPrintable(m_prompts->shown[0].text));
        QVERIFY(m_prompts->shown[0].details.contains(QStringLiteral("ERROR F-P1 ")));
        QCOMPARE(m_window->statusText(), QStringLiteral("Factura comprobada: tiene errores"));

        // A complete invoice passes.
        QDir(path()).mkpath(QStringLiteral("Importa"));
        QVERIFY(QFile::copy(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"),
                            QDir(path()).filePath(QStringLiteral("Importa/Factura.Ini"))));
        QVERIFY(m_window->session().importInvoice({}));
        m_prompts->reset();
        check->trigger();
        QCOMPARE(m_prompts->kinds(), QStringList{"inform"});
        QCOMPARE(m_prompts->shown[0].text,
                 QStringLiteral("La factura no tiene errores ni avisos."));
        QCOMPARE(m_window->statusText(),
                 QStringLiteral("Factura comprobada: sin errores ni avisos"));
    }

    // "Firmar Factura" checks the chosen document: errors stop it before
    // AutoFirma, warnings are shown and signing goes on.
    void signChecksTheDocumentFirst() {
        const QString folder = fakeAutoFirma(QStringLiteral("af"));
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[AUTOFIRMA]\nRUTAPROGRAMA=%1\nPROGRAMA=autofirma.sh\n"
                                 "COMANDO=Sign -certgui\nFIRMA=-format FACTURAE\n")
                      .arg(folder));
        open();
        QFile fixture(QFINDTESTDATA("../facturae/data/other-program.xml"));
        QVERIFY(fixture.open(QIODevice::ReadOnly));
        const QByteArray valid = fixture.readAll();
        const QString wrong = QDir(path()).filePath(QStringLiteral("mal.xml"));
        writeFile(path(), QStringLiteral("mal.xml"),
                  QString::fromUtf8(
                      QByteArray(valid).replace("<InvoiceTotal>609.87<", "<InvoiceTotal>9.87<")));
        m_prompts->fileAnswers << wrong;
        m_window->Button4Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "warn"}));
        QVERIFY2(m_prompts->shown[1].text.contains(QStringLiteral("no se firmará")),
                 qPrintable(m_prompts->shown[1].text));
        QVERIFY2(m_prompts->shown[1].text.contains(
                     QStringLiteral("• Totales Factura: El total de la factura es 9,87")),
                 qPrintable(m_prompts->shown[1].text));
        QVERIFY(m_prompts->shown[1].details.contains(QStringLiteral("ERROR F-T5 ")));
        QVERIFY(!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("args.txt"))));

        const QString cent = QDir(path()).filePath(QStringLiteral("centimo.xml"));
        writeFile(path(), QStringLiteral("centimo.xml"),
                  QString::fromUtf8(QByteArray(valid).replace("<TotalGrossAmount>580.325<",
                                                              "<TotalGrossAmount>580.34<")));
        m_prompts->fileAnswers << cent;
        m_window->Button4Click();
        QCOMPARE(m_prompts->kinds(), (QStringList{"open", "warn", "open", "warn"}));
        QVERIFY(m_prompts->shown[3].text.startsWith(QStringLiteral("Avisos")));
        // AutoFirma runs on its own: wait for it to end.
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isSigning(), 15000);
        QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("args.txt"))));
    }

    // The tax-id boxes show a wrong check character as it is typed, or, in
    // the issuer's box, which only shows it, as it comes from a file.
    void taxIdBoxesMarkAWrongCheckCharacter_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("marked");
        QTest::newRow("issuer, wrong digit") << "Edit6"
                                             << "B15123456" << true;
        QTest::newRow("issuer, right") << "Edit6"
                                       << "B15123458" << false;
        QTest::newRow("customer, wrong letter") << "Edit11"
                                                << "12345678A" << true;
        QTest::newRow("customer, right in lower case") << "Edit11"
                                                       << "12345678z" << false;
        QTest::newRow("customer, half typed") << "Edit11"
                                              << "1234" << true;
        QTest::newRow("customer, foreign") << "Edit11"
                                           << "FR40303265045" << false;
        QTest::newRow("empty") << "Edit6"
                               << "" << false;
    }
    void taxIdBoxesMarkAWrongCheckCharacter() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(bool, marked);
        open();
        QLineEdit* taxId = edit(m_window.get(), qPrintable(box));
        QVERIFY(taxId);
        taxId->clear();
        if (taxId->isReadOnly())
            m_window->record().setText(RecordField::IssuerTaxId, typed);
        else
            QTest::keyClicks(taxId, typed);
        QCOMPARE(taxId->text(), typed); // typing is never stopped
        QCOMPARE(taxId->property("taxIdProblem").toBool(), marked);
        QCOMPARE(taxId->toolTip().contains(QStringLiteral("no es válido")), marked);
        QCOMPARE(taxId->styleSheet().contains(QStringLiteral("border")), marked);
        taxId->clear();
        QCOMPARE(taxId->property("taxIdProblem").toBool(), false);
    }

    void contactOpensTheAboutWindow() {
        open();
        QStringList opened;
        m_window->setModalRunner(
            [&](QDialog& dialog) { opened << QLatin1String(dialog.metaObject()->className()); });
        m_window->Button5Click();
        QCOMPARE(opened, QStringList{"TFormAcercaDe"});
    }

    void tickingTheBoxShowsTheCentres() {
        open();
        m_window->record().setText(RecordField::ManagingBodyCode, QStringLiteral("L01"));
        QString seen;
        m_window->setModalRunner([&](QDialog& dialog) {
            seen = static_cast<TFormAdmon&>(dialog).centres().managingCode;
        });
        auto* box = m_window->findChild<QCheckBox*>("CheckBox1");
        QTest::mouseClick(box, Qt::LeftButton);
        QVERIFY(box->isChecked());
        QCOMPARE(seen, QStringLiteral("L01"));
        seen.clear();
        QTest::mouseClick(box, Qt::RightButton);
        QVERIFY(box->isChecked());
        QCOMPARE(seen, QStringLiteral("L01"));
    }

private:
    // A stand-in for AutoFirma that writes its arguments, one a line.
    QString fakeAutoFirma(const QString& name) {
        const QString folder = QDir(path()).filePath(name);
        writeFile(path(), name + QStringLiteral("/autofirma.sh"),
                  QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > "
                                 "\"$(pwd)/args.txt\"\n"));
        QFile::setPermissions(folder + QStringLiteral("/autofirma.sh"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return folder;
    }
    QStringList recordedArguments(const QString& folder) {
        QFile file(folder + QStringLiteral("/args.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("(AutoFirma did not run)")};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
};

QTEST_MAIN(tst_MainWindowOperations)
#include "tst_MainWindowOperations.moc"
