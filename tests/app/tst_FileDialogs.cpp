#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/FileDialogs.h"
#include "app/InvoicePreview.h"
#include "app/uAutoFirma.h"
#include "app/uPrincipal.h"
#include "app/uRegistro.h"
#include "settings/AppFiles.h"
#include "storage/IniFile.h"

#include <QAction>
#include <QDir>
#include <QPrintPreviewWidget>
#include <QTest>

using namespace WindowTestKit;

// Every file dialog starts where its kind of file was last opened or saved
// (Registro.Ini [CARPETAS]), remembers where the person went, and every save
// proposes a name from the invoice's series and number.
class tst_FileDialogs : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void eachKindRemembersItsFolder_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("proposed"); // the name a save proposes; empty for an open
        QTest::newRow("Abrir") << "open"
                               << "IMPORTAR"
                               << "";
        QTest::newRow("Capturar datos") << "capture"
                                        << "IMPORTAR"
                                        << "";
        QTest::newRow("Guardar borrador") << "draft"
                                          << "IMPORTAR"
                                          << "A-7.ini";
        QTest::newRow("Generar factura") << "generate"
                                         << "GUARDAR"
                                         << "A-7.XML";
        QTest::newRow("Firmar factura") << "sign"
                                        << "FIRMAR"
                                        << "";
        QTest::newRow("Abrir factura XML") << "view"
                                           << "VERFACTURA"
                                           << "";
        QTest::newRow("Comprobar firma") << "verify"
                                         << "COMPROBARFIRMA"
                                         << "";
        QTest::newRow("Guardar PDF") << "pdf"
                                     << "PDF"
                                     << "A-7.pdf";
        QTest::newRow("certificate") << "certificate"
                                     << "CERTIFICADO"
                                     << "";
        QTest::newRow("logo") << "logo"
                              << "LOGOTIPO"
                              << "";
    }
    void eachKindRemembersItsFolder() {
        QFETCH(QString, command);
        QFETCH(QString, key);
        QFETCH(QString, proposed);
        QVERIFY(QDir(path()).mkpath(QStringLiteral("antes")));
        QVERIFY(QDir(path()).mkpath(QStringLiteral("después")));
        const QString before = QDir::toNativeSeparators(file(QStringLiteral("antes")));
        writeFile(path(), QStringLiteral("Registro.Ini"),
                  QStringLiteral("[CARPETAS]\n%1=%2\n").arg(key, before));
        open();
        m_window->record().setText(RecordField::InvoiceSeries, QStringLiteral("A"));
        m_window->record().setText(RecordField::InvoiceNumber, QStringLiteral("7"));
        m_window->record().setText(RecordField::BankEntity, QStringLiteral("1234"));
        m_prompts->confirmAnswers << true; // a document with errors is saved all the same
        m_prompts->saveChoices << Prompts::SaveChoice::Discard;
        m_prompts->fileAnswers << file(QStringLiteral("después/elegido.x"));

        run(command);
        QVERIFY2(!m_prompts->startPaths.isEmpty(), "no dialog");
        QCOMPARE(m_prompts->startPaths.first(),
                 proposed.isEmpty() ? before : QDir(before).filePath(proposed));
        QCOMPARE(IniFile(AppFiles::registroIni(path())).readString(QStringLiteral("CARPETAS"), key),
                 QDir::toNativeSeparators(file(QStringLiteral("después"))));
    }

    // The copy of an imported invoice goes beside its document; the copy of a
    // file shown, beside that file.
    void pdfBesideItsDocument() {
        writeFile(path(), QStringLiteral("datos/F2024-9.ini"),
                  QStringLiteral("[DATOS_GENERALES]\nSERIE=A\nFACTURA=9\nFECHA=01/02/2026\n"
                                 "VENCIMIENTO=01/03/2026\nLINEAS=0\n"));
        open();
        m_prompts->fileAnswers << file(QStringLiteral("datos/F2024-9.ini"));
        m_window->openInvoiceFile();
        run(QStringLiteral("pdf"));
        QCOMPARE(m_prompts->startPaths.last(), file(QStringLiteral("datos/F2024-9.pdf")));
    }

    // A file chosen in a save dialog that exists is replaced only when the
    // person says so; otherwise the dialog opens again.
    void aSaveAsksBeforeReplacing_data() {
        QTest::addColumn<bool>("replace");
        QTest::newRow("replaced") << true;
        QTest::newRow("kept") << false;
    }
    void aSaveAsksBeforeReplacing() {
        QFETCH(bool, replace);
        writeFile(path(), QStringLiteral("otro.ini"), QStringLiteral("otro borrador"));
        open();
        m_prompts->fileAnswers << file(QStringLiteral("otro.ini"));
        m_prompts->confirmAnswers << replace;
        m_window->saveDraft();
        const QStringList asked =
            replace ? QStringList{"save", "confirm"} : QStringList{"save", "confirm", "save"};
        QCOMPARE(m_prompts->kinds(), asked);
        QVERIFY(m_prompts->shown[1].text.contains(
            QDir::toNativeSeparators(file(QStringLiteral("otro.ini")))));
        QCOMPARE(readAll(file(QStringLiteral("otro.ini"))) == "otro borrador", !replace);
    }

    void namesFromSeriesAndNumber_data() {
        QTest::addColumn<QString>("series");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("both") << "A"
                              << "2024-001"
                              << "A-2024-001.pdf";
        QTest::newRow("number only") << ""
                                     << "7"
                                     << "7.pdf";
        QTest::newRow("neither") << ""
                                 << ""
                                 << "factura.pdf";
        QTest::newRow("blanks around") << " B "
                                       << " 3 "
                                       << "B-3.pdf";
        QTest::newRow("characters no file name holds") << "A/B"
                                                       << "1:2"
                                                       << "A_B-1_2.pdf";
    }
    void namesFromSeriesAndNumber() {
        QFETCH(QString, series);
        QFETCH(QString, number);
        QFETCH(QString, name);
        QCOMPARE(FileDialogs::invoiceFileName(series, number, QStringLiteral("pdf")), name);
    }

private:
    void run(const QString& command) {
        TForm2& w = *m_window;
        // A window the command opens does what the person would there.
        w.setModalRunner([&](QDialog& dialog) {
            if (auto* preview = qobject_cast<InvoicePreview*>(&dialog))
                preview->saveAction()->trigger();
            else if (auto* firma = qobject_cast<TFormAutoFirma*>(&dialog))
                firma->chooseCertificateClick();
            else if (auto* misDatos = qobject_cast<TFormRegistro*>(&dialog))
                misDatos->bLogoClick();
        });
        if (command == u"open")
            w.openInvoiceFile();
        else if (command == u"capture")
            w.AdvSmoothButton2Click();
        else if (command == u"draft")
            w.saveDraft();
        else if (command == u"generate")
            w.Button2Click();
        else if (command == u"sign")
            w.Button4Click();
        else if (command == u"view")
            w.AbrirFacturaXmlClick();
        else if (command == u"verify")
            w.ComprobarFirmaClick();
        else if (command == u"pdf")
            w.VerImprimirClick();
        else if (command == u"certificate")
            w.editSigningSettings();
        else if (command == u"logo")
            w.editIssuerSettings();
    }
};

QTEST_MAIN(tst_FileDialogs)
#include "tst_FileDialogs.moc"
