#include "app/uPrincipal.h"

// The windows the main window opens: settings, the centres, the book, the
// state of the records, the readable copy of a document, about and the
// declaration.

#include "app/BookWindow.h"
#include "app/DeclarationDialog.h"
#include "app/FileDialogs.h"
#include "app/FirstStartHint.h"
#include "app/InvoicePreview.h"
#include "app/IssuerWatch.h"
#include "app/LinesGrid.h"
#include "app/MainStatusBar.h"
#include "app/RecordChainWindow.h"
#include "app/RecordSettingsDialog.h"
#include "app/uAcercaDe.h"
#include "app/uAdmon.h"
#include "app/uAutoFirma.h"
#include "app/uRegistro.h"
#include "common/BoundedFile.h"
#include "invoice/UnsavedChanges.h"
#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"
#include "widgets/BusyCursor.h"
#include "widgets/ErrorGuard.h"

#include <QDir>

// Runs a window that may change the stored issuer data; what it stores
// reaches the invoice as IssuerWatch decides.
void TForm2::whileIssuerMayChange(const std::function<void()>& runWindow) {
    runGuarded(this, [&] {
        const bool updated = m_issuerWatch->follow(this, [&] {
            runWindow();
            m_firstStartHint->follow(appDir());
        });
        if (updated)
            m_status->report(QStringLiteral("Datos del emisor actualizados"));
    });
}

void TForm2::Button5Click() {
    // The about window leads to the issuer's settings too.
    whileIssuerMayChange([&] {
        TFormAcercaDe about(appDir(), this);
        runModal(about);
    });
}

void TForm2::DeclaracionResponsableClick() {
    runGuarded(this, [&] {
        DeclarationDialog dialog(appDir(), this);
        runModal(dialog);
    });
}

void TForm2::editIssuerSettings() {
    whileIssuerMayChange([&] {
        TFormRegistro window(appDir(), this);
        runModal(window);
        m_session.loadTreatmentSettings();
    });
    // The issuer's kind sets the date of the law.
    updateRecordNotice();
}

void TForm2::editRecordSettings() {
    runGuarded(this, [&] {
        RecordSettingsDialog window(appDir(), this);
        runModal(window);
    });
    updateRecordNotice();
}

void TForm2::RegistroFacturacionClick() {
    runGuarded(this, [&] {
        RecordChainWindow window(m_session, this);
        runModal(window);
    });
}

void TForm2::editAdministrations() {
    runGuarded(this, [&] {
        // The catalogue only: nothing comes back into the invoice.
        TFormAdmon window(appDir(), this);
        window.setCentres(m_session.centres());
        runModal(window);
    });
}

void TForm2::editSigningSettings() {
    runGuarded(this, [&] {
        TFormAutoFirma window(appDir(), this);
        runModal(window);
    });
}

void TForm2::askForCentres() {
    TFormAdmon window(appDir(), this);
    window.setCentres(m_session.centres());
    runModal(window);
    if (window.Tag() == TFormAdmon::AcceptedTag)
        m_session.setCentres(window.centres());
}

void TForm2::CheckBox1MouseUp(Qt::MouseButton button) {
    if (button == Qt::RightButton)
        editAdministrations();
}

void TForm2::VerImprimirClick() {
    runGuarded(this, [&] { showCopy(m_session.currentDocument(), QString()); });
}

void TForm2::AbrirFacturaXmlClick() {
    runGuarded(this, [&] {
        const QString path = FileDialogs::open(this, appDir(), FileDialogs::Kind::ViewDocument,
                                               FacturaeFilters, QString());
        if (path.isEmpty())
            return;
        showCopy(BoundedFile::readDocument(path), path);
    });
}

void TForm2::LibroFacturasClick() {
    runGuarded(this, [&] {
        BookWindow window(m_session, this);
        window.setOpenAsNew([this](const BookEntry&, const QString& value) { openAsNew(value); });
        runModal(window);
    });
}

// Reads the document first, so a file that is no Facturae document gives its
// message and no window; then shows its pages.
void TForm2::showCopy(const QByteArray& document, const QString& source) {
    FacturaeDocument::Document parsed;
    {
        const BusyCursor busy;
        try {
            parsed = FacturaeReader::read(document);
        } catch (const AppError& e) {
            throw source.isEmpty() ? e : FacturaeReader::namedError(source, e);
        }
    }
    InvoicePreview preview(m_session, document, std::move(parsed), source, pdfProposal(source),
                           this);
    connect(&preview, &InvoicePreview::pdfSaved, this, [this](const QString& path) {
        m_status->report(
            QStringLiteral("Copia PDF guardada en %1").arg(QDir::toNativeSeparators(path)));
    });
    runModal(preview);
}

// The copy goes beside its document: the file shown, or where the invoice's
// document is written beside its import file; otherwise it is named after
// the invoice, where copies or documents were saved last.
QString TForm2::pdfProposal(const QString& source) const {
    const QString document = source.isEmpty() ? m_session.saveTargetBesideImport() : source;
    if (!document.isEmpty())
        return InvoicePdf::defaultOutputPath(document);
    const QString name = proposedName(QStringLiteral("pdf"));
    const QString documents = RememberedFolders::folder(appDir(), FileDialogs::Kind::Save);
    if (RememberedFolders::folder(appDir(), FileDialogs::Kind::Pdf).isEmpty() &&
        !documents.isEmpty())
        return QDir(documents).filePath(name);
    return name;
}
