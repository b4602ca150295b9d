#include "FakePrompts.h"
#include "WindowTestKit.h"
#include "app/InvoicePreview.h"
#include "app/uRegistro.h"
#include "pdf/FacturaeReader.h"
#include "pdf/PdfRenderer.h"

#include "../ledger/LedgerFixture.h"
#include "InvoiceBuilder.h"

#include <QAction>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The readable copy in the window: "Ver / Imprimir" shows the invoice on
// screen as pages, "Abrir factura XML…" any Facturae file, "Guardar PDF"
// saves through the session; a file that is no Facturae document gives its
// message and no window. The logo is set in the issuer-data window.
class tst_InvoicePreview : public QObject {
    Q_OBJECT
private slots:
    void viewShowsTheInvoiceAndSavesIt();
    void openShowsAnyFacturaeFile();
    void notFacturaeGivesMessageAndNoWindow();
    void failedSaveIsReportedAndLeavesNothing();
    void logoSetInTheIssuerWindow();
    void buttonsInViewOnASmallScreen();
    void saveIsConfirmedWithItsPath();
    void longInvoiceLaidOutBesideTheWindow();
    void taxQrGoesIntoTheSavedCopy();
    void issuedInvoiceShowsItsCodeUntilChanged();
};

namespace {

struct Previewed {
    int calls = 0;
    int pages = -1;
    QString saved;
};

// Runs the preview as the person would: lays the pages out, then presses
// "Guardar PDF" (whose file the prompts answer).
TForm2::ModalRunner previewRunner(Previewed& seen) {
    return [&seen](QDialog& dialog) {
        ++seen.calls;
        auto* preview = qobject_cast<InvoicePreview*>(&dialog);
        if (!preview)
            return;
        if (auto* widget = preview->findChild<QPrintPreviewWidget*>())
            widget->updatePreview();
        seen.pages = preview->pageCount();
        preview->saveAction()->trigger();
    };
}

QString pdfText(const QString& pdf) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return QString();
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).replace(QChar(0x00a0), u' ');
}

QString registro(const QString& dir) {
    QFile f(QDir(dir).filePath(QStringLiteral("Registro.Ini")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void trigger(TForm2& window, const char* action) {
    QAction* a = window.findChild<QAction*>(QLatin1String(action));
    QVERIFY(a);
    a->trigger();
}

} // namespace

void tst_InvoicePreview::viewShowsTheInvoiceAndSavesIt() {
    QTemporaryDir dir;
    FakePrompts prompts;
    auto window = WindowTestKit::openWindow(dir.path());
    window->session().importChosenFile(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    Previewed seen;
    window->setModalRunner(previewRunner(seen));
    const QString pdf = dir.filePath(QStringLiteral("copia.pdf"));
    prompts.fileAnswers.enqueue(pdf);
    trigger(*window, "VerImprimir");
    QCOMPARE(prompts.errors(), QStringList());
    QCOMPARE(seen.calls, 1);
    QCOMPARE(seen.pages, 1);
    QVERIFY(QFile::exists(pdf));
    const QString text = pdfText(pdf);
    if (!text.isNull()) {
        QVERIFY(text.contains(QStringLiteral("671,01 €")));
        QVERIFY(text.contains(QStringLiteral("Talleres Mecánicos Íñiguez S.L.")));
    }
    // Saving was asked for a PDF.
    QCOMPARE(prompts.shown.last().kind, QStringLiteral("save"));
    QCOMPARE(prompts.shown.last().caption, QStringLiteral("pdf"));
}

void tst_InvoicePreview::openShowsAnyFacturaeFile() {
    QTemporaryDir dir;
    FakePrompts prompts;
    auto window = WindowTestKit::openWindow(dir.path());
    Previewed seen;
    window->setModalRunner(previewRunner(seen));
    const QString pdf = dir.filePath(QStringLiteral("lote.pdf"));
    prompts.fileAnswers << QStringLiteral(ORVANE_PDF_DATA "/batch-foreign.xml") << pdf;
    trigger(*window, "AbrirFacturaXml");
    QCOMPARE(prompts.errors(), QStringList());
    QCOMPARE(seen.pages, 2);
    const QString text = pdfText(pdf);
    if (!text.isNull())
        QVERIFY(text.contains(QStringLiteral("12.037,50 USD")));

    // Cancelling the open dialog shows nothing.
    trigger(*window, "AbrirFacturaXml");
    QCOMPARE(seen.calls, 1);
}

void tst_InvoicePreview::notFacturaeGivesMessageAndNoWindow() {
    QTemporaryDir dir;
    FakePrompts prompts;
    auto window = WindowTestKit::openWindow(dir.path());
    Previewed seen;
    window->setModalRunner(previewRunner(seen));
    WindowTestKit::writeFile(dir.path(), QStringLiteral("nota.xml"), QStringLiteral("<nota/>"));
    prompts.fileAnswers.enqueue(dir.filePath(QStringLiteral("nota.xml")));
    trigger(*window, "AbrirFacturaXml");
    QCOMPARE(seen.calls, 0);
    QCOMPARE(prompts.errors(),
             QStringList{QStringLiteral("«nota.xml» no es una factura Facturae.")});
}

void tst_InvoicePreview::failedSaveIsReportedAndLeavesNothing() {
    QTemporaryDir dir;
    FakePrompts prompts;
    auto window = WindowTestKit::openWindow(dir.path());
    Previewed seen;
    window->setModalRunner(previewRunner(seen));
    const QString pdf = dir.filePath(QStringLiteral("no-existe/copia.pdf"));
    prompts.fileAnswers.enqueue(pdf);
    trigger(*window, "VerImprimir");
    QCOMPARE(seen.calls, 1);
    QCOMPARE(prompts.errors().size(), 1);
    QVERIFY2(prompts.errors().first().startsWith(QStringLiteral("No se puede guardar")),
             qPrintable(prompts.errors().first()));
    QVERIFY(!QFile::exists(pdf));
}

void tst_InvoicePreview::logoSetInTheIssuerWindow() {
    QTemporaryDir dir;
    FakePrompts prompts;
    WindowTestKit::writeFile(dir.path(), QStringLiteral("Registro.Ini"),
                             QStringLiteral("[MISDATOS]\nPERSONA=J\nNOMBRE=Uno\nNIF=B1\n"));
    {
        TFormRegistro form(dir.path());
        form.FormShow();
        auto* logo = form.findChild<QLineEdit*>(QStringLiteral("eLogo"));
        QVERIFY(logo);
        QCOMPARE(logo->text(), QString());
        // Saved without a logo: no LOGO key appears.
        form.AdvSmoothButton1Click();
        QVERIFY(!registro(dir.path()).contains(QStringLiteral("LOGO")));
        // A picture inside the program's folder is kept relative to it.
        prompts.fileAnswers.enqueue(dir.filePath(QStringLiteral("imagenes/logo.png")));
        form.bLogoClick();
        QCOMPARE(logo->text(), QDir::toNativeSeparators(QStringLiteral("imagenes/logo.png")));
        form.AdvSmoothButton1Click();
    }
    TFormRegistro again(dir.path());
    again.FormShow();
    QCOMPARE(again.findChild<QLineEdit*>(QStringLiteral("eLogo"))->text(),
             QDir::toNativeSeparators(QStringLiteral("imagenes/logo.png")));
}

// At 1024 x 600 the toolbar hides what does not fit; printing and saving
// stay in view as buttons below the pages.
void tst_InvoicePreview::buttonsInViewOnASmallScreen() {
    QTemporaryDir dir;
    FakePrompts prompts;
    auto window = WindowTestKit::openWindow(dir.path());
    bool checked = false;
    window->setModalRunner([&](QDialog& dialog) {
        dialog.resize(600, 500); // narrower than the toolbar
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const char* name : {"ImprimirButton", "GuardarPdfButton", "CerrarButton"}) {
            auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
            QVERIFY2(button && button->isVisible(), name);
            const QRect onDialog(button->mapTo(&dialog, QPoint(0, 0)), button->size());
            QVERIFY2(dialog.rect().contains(onDialog), name);
        }
        checked = true;
        dialog.reject();
    });
    trigger(*window, "VerImprimir");
    QVERIFY(checked);
    QCOMPARE(prompts.errors(), QStringList());
}

void tst_InvoicePreview::saveIsConfirmedWithItsPath() {
    QTemporaryDir dir;
    FakePrompts prompts;
    auto window = WindowTestKit::openWindow(dir.path());
    window->session().importChosenFile(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    QString shownInPreview;
    window->setModalRunner([&](QDialog& dialog) {
        dialog.findChild<QPushButton*>(QStringLiteral("GuardarPdfButton"))->click();
        shownInPreview = dialog.findChild<QLabel*>(QStringLiteral("PdfGuardado"))->text();
    });
    const QString pdf = dir.filePath(QStringLiteral("copia.pdf"));
    prompts.fileAnswers.enqueue(pdf);
    trigger(*window, "VerImprimir");
    QVERIFY(QFile::exists(pdf));
    // Proposed beside the document the invoice's import file gives.
    QCOMPARE(prompts.startPaths, QStringList{QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.pdf")});
    const QString said =
        QStringLiteral("Copia PDF guardada en %1").arg(QDir::toNativeSeparators(pdf));
    QCOMPARE(shownInPreview, said);
    QCOMPARE(window->statusText(), said);
}

// The pages of a long invoice are laid out while the window goes on with its
// events: a timer due at once fires before the layout is over.
void tst_InvoicePreview::longInvoiceLaidOutBesideTheWindow() {
    QTemporaryDir dir;
    FakePrompts prompts;
    const QString import = dir.filePath(QStringLiteral("larga.ini"));
    InvoiceBuilder::writeImportFile(import, 300);
    auto window = WindowTestKit::openWindow(dir.path());
    window->session().importChosenFile(import);
    bool layingOut = false;
    bool timerDuringLayout = false;
    int pages = 0;
    window->setModalRunner([&](QDialog& dialog) {
        auto* preview = qobject_cast<InvoicePreview*>(&dialog);
        QVERIFY(preview);
        QTimer::singleShot(0, &dialog, [&] { timerDuringLayout = layingOut; });
        layingOut = true;
        preview->findChild<QPrintPreviewWidget*>()->updatePreview();
        layingOut = false;
        pages = preview->pageCount();
    });
    trigger(*window, "VerImprimir");
    QCOMPARE(prompts.errors(), QStringList());
    QVERIFY(pages > 5);
    QVERIFY(timerDuringLayout);
}

// The tax QR given to the preview is on the PDF its "Guardar PDF" saves.
void tst_InvoicePreview::taxQrGoesIntoTheSavedCopy() {
    QTemporaryDir dir;
    FakePrompts prompts;
    InvoiceSession session(dir.path());
    PdfRenderer renderer(dir.path());
    session.setRenderer(&renderer);
    session.importChosenFile(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    const QByteArray document = session.currentDocument();
    InvoicePreview preview(session, document, FacturaeReader::read(document));
    const QString address = QStringLiteral(
        "https://www2.agenciatributaria.gob.es/wlpl/TIKE-CONT/ValidarQR?nif=B15123458&"
        "numserie=A%2F2024-001&fecha=15-03-2024&importe=671.01");
    preview.setTaxQr({address, QStringLiteral("VERI*FACTU")});
    preview.findChild<QPrintPreviewWidget*>()->updatePreview();
    QCOMPARE(preview.pageCount(), 1);
    const QString pdf = dir.filePath(QStringLiteral("copia.pdf"));
    prompts.fileAnswers.enqueue(pdf);
    preview.saveAction()->trigger();
    QCOMPARE(prompts.errors(), QStringList());
    const QString text = pdfText(pdf);
    if (!text.isNull()) {
        QVERIFY(text.contains(QStringLiteral("QR tributario:")));
        QVERIFY(text.contains(QStringLiteral("VERI*FACTU")));
    }
}

// Ver / Imprimir after Generar shows the document issued: its code and the
// legend the settings ask for. Before Generar, or once the invoice changes,
// the copy has none.
void tst_InvoicePreview::issuedInvoiceShowsItsCodeUntilChanged() {
    QTemporaryDir dir;
    FakePrompts prompts;
    QFile settings(dir.filePath(QStringLiteral("Registro.Ini")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[MISDATOS]\nNIF=B15123458\n[VERIFACTU]\nMODO=VERIFACTU\nLEYENDA=SEDE\n");
    settings.close();
    auto window = WindowTestKit::openWindow(dir.path());
    InvoiceSession& session = window->session();
    session.importChosenFile(QStringLiteral(ORVANE_SAMPLES_DIR "/F2024-001.ini"));
    session.record().setIssueDate(QDate(2025, 11, 14));
    LedgerFixture::FakeClock clock;
    clock.now = LedgerFixture::utc(2025, 11, 14, 9, 0);
    session.issuing().ledger = LedgerFixture::options(clock);
    Previewed seen;
    window->setModalRunner(previewRunner(seen));
    const auto copyText = [&](const QString& name) {
        const QString pdf = dir.filePath(name);
        prompts.fileAnswers.enqueue(pdf);
        trigger(*window, "VerImprimir");
        return QFile::exists(pdf) ? pdfText(pdf) : QStringLiteral("(no PDF)");
    };

    const QString before = copyText(QStringLiteral("antes.pdf"));
    QCOMPARE(session.generateTo(dir.filePath(QStringLiteral("f.xml"))).status,
             InvoiceSession::GenerateStatus::Written);
    const QString issued = copyText(QStringLiteral("emitida.pdf"));
    session.record().setText(RecordField::InvoiceNumber, QStringLiteral("2024-002"));
    const QString changed = copyText(QStringLiteral("cambiada.pdf"));
    QCOMPARE(prompts.errors(), QStringList());
    if (before.isNull())
        QSKIP("pdftotext is missing (poppler-utils)");
    QVERIFY(!before.contains(QStringLiteral("QR tributario")));
    QVERIFY2(issued.contains(QStringLiteral("QR tributario:")), qPrintable(issued));
    QVERIFY(issued.contains(QStringLiteral("sede electrónica")));
    QVERIFY(!changed.contains(QStringLiteral("QR tributario")));
}

QTEST_MAIN(tst_InvoicePreview)
#include "tst_InvoicePreview.moc"
