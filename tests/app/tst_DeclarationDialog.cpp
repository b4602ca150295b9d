#include "MainWindowTestCase.h"
#include "WindowTestKit.h"

#include "app/DeclarationDialog.h"
#include "records/ConformityDeclaration.h"

#include "../pdf/PdfPages.h"

#include <QAction>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

using namespace WindowTestKit;

// Ayuda > Declaración responsable: the declaration to read in the window,
// print or save as PDF, all from the keyboard too.
class tst_DeclarationDialog : public MainWindowTestCase {
    Q_OBJECT
private slots:
    void init() { startMainWindowTest(); }
    void cleanup() { endMainWindowTest(); }

    void opensFromTheHelpMenu() {
        open();
        QAction* action = m_window->findChild<QAction*>("actionDeclaracionResponsable");
        QVERIFY(action);
        QVERIFY(m_window->menu(TForm2::Menu::Ayuda)->actions().contains(action));
        QCOMPARE(action->text(), QStringLiteral("&Declaración responsable"));

        QString seen, text;
        bool readOnly = false;
        QStringList buttons;
        m_window->setModalRunner([&](QDialog& dialog) {
            seen = QLatin1String(dialog.metaObject()->className());
            auto* browser = child<QTextBrowser>(dialog, "DeclarationText");
            text = browser->toPlainText();
            readOnly = browser->isReadOnly();
            for (const char* name : {"Imprimir", "GuardarPdf", "Cerrar"})
                buttons << child<QPushButton>(dialog, name)->text();
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Declaración responsable"));
        });
        action->trigger();
        QCOMPARE(seen, QStringLiteral("DeclarationDialog"));
        QVERIFY(readOnly);
        QCOMPARE(buttons, (QStringList{"&Imprimir…", "&Guardar PDF…", "&Cerrar"}));
        // The title, then every label with its value, in order.
        QVERIFY2(text.startsWith(ConformityDeclaration::Title + u'\n'), qPrintable(text));
        qsizetype at = 0;
        for (const ConformityDeclaration::Entry& entry : ConformityDeclaration::builtIn().entries) {
            const qsizetype found = text.indexOf(entry.label + u'\n' + entry.value, at);
            QVERIFY2(found >= 0, qPrintable(entry.label));
            at = found;
        }
        QVERIFY(m_prompts->shown.isEmpty());
    }

    // Escape closes it wherever the keyboard is; the text has it first.
    void closesWithEscape_data() {
        QTest::addColumn<QString>("focus");
        QTest::newRow("on the text") << "DeclarationText";
        QTest::newRow("on a button") << "GuardarPdf";
    }
    void closesWithEscape() {
        QFETCH(QString, focus);
        DeclarationDialog dialog(path());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("DeclarationText"));
        auto* target = dialog.findChild<QWidget*>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_prompts->shown.isEmpty());
    }

    // Alt+G saves a PDF where the person says, and says where it went.
    void savesPdfFromTheKeyboard() {
        DeclarationDialog dialog(path());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        const QString target = file(QStringLiteral("salida/declaración.pdf"));
        QDir().mkpath(file(QStringLiteral("salida")));
        m_prompts->fileAnswers << target;
        QTest::keyClick(&dialog, 'g', Qt::AltModifier);
        // The button shows itself pressed for a moment first.
        QTRY_COMPARE(m_prompts->kinds(), (QStringList{"save", "inform"}));
        QCOMPARE(m_prompts->shown[0].text, QStringLiteral("Documentos PDF (*.pdf)"));
        QCOMPARE(m_prompts->shown[1].text,
                 QStringLiteral("Se ha guardado la declaración responsable en %1.").arg(target));
        QVERIFY(PdfPages::squeezedText(target).startsWith(
            PdfPages::squeezed(ConformityDeclaration::Title)));
        QVERIFY(dialog.isVisible());

        // Next time the dialog proposes the same folder; cancelling writes nothing.
        m_prompts->reset();
        QFile::remove(target);
        child<QPushButton>(dialog, "GuardarPdf")->click();
        QCOMPARE(m_prompts->kinds(), QStringList{"save"});
        QCOMPARE(m_prompts->startPaths.last(),
                 QDir(file(QStringLiteral("salida"))).filePath("declaracion-responsable.pdf"));
        QVERIFY(!QFile::exists(target));
    }

    void failedSaveIsExplained() {
        DeclarationDialog dialog(path());
        m_prompts->fileAnswers << file(QStringLiteral("falta/d.pdf"));
        dialog.GuardarPdfClick();
        QCOMPARE(m_prompts->kinds(), (QStringList{"save", "error"}));
        QVERIFY2(m_prompts->errors().first().contains(
                     QStringLiteral("No se puede guardar «%1»").arg(file("falta/d.pdf"))),
                 qPrintable(m_prompts->errors().first()));
    }

    // The printer gets the same pages as the PDF; a cancelled print dialog
    // prints nothing.
    void printsOnTheChosenPrinter_data() {
        QTest::addColumn<bool>("accepted");
        QTest::newRow("printed") << true;
        QTest::newRow("cancelled") << false;
    }
    void printsOnTheChosenPrinter() {
        QFETCH(bool, accepted);
        DeclarationDialog dialog(path());
        const QString output = file(QStringLiteral("impresora.pdf"));
        int asked = 0;
        QWidget* askedOver = nullptr;
        dialog.setPrinterSetup([&](QPrinter& printer, QWidget* parent) {
            ++asked;
            askedOver = parent;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(output);
            return accepted;
        });
        child<QPushButton>(dialog, "Imprimir")->click();
        QCOMPARE(asked, 1);
        QCOMPARE(askedOver, &dialog);
        QCOMPARE(QFile::exists(output), accepted);
        if (accepted)
            QVERIFY(PdfPages::squeezedText(output).startsWith(
                PdfPages::squeezed(ConformityDeclaration::Title)));
        QVERIFY(m_prompts->shown.isEmpty());
    }
};

QTEST_MAIN(tst_DeclarationDialog)
#include "tst_DeclarationDialog.moc"
