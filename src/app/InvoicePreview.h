#pragma once

#include "pdf/FacturaeDocument.h"
#include "pdf/LogoImage.h"
#include "session/TaxQr.h"

#include <QByteArray>
#include <QPrintPreviewDialog>

class InvoiceSession;
class QAction;
class QLabel;
class QPrinter;

// The readable copy of a Facturae document as pages, from which the person
// prints it or saves it as PDF. "Guardar PDF" saves through the session (an
// atomic save of the document's own copy), never through the printer's
// print-to-file, so a failed save leaves nothing half-written. Printing and
// saving are buttons below the pages, always in view; the pages are laid out
// beside the window, which keeps repainting meanwhile.
class InvoicePreview : public QPrintPreviewDialog {
    Q_OBJECT
public:
    // document: the Facturae bytes; parsed: what they hold (already read);
    // source: the file they were read from, which the PDF never replaces
    // (empty for the invoice on screen); pdfProposal: what "Guardar PDF"
    // proposes, a file name or a whole path.
    InvoicePreview(InvoiceSession& session, QByteArray document, FacturaeDocument::Document parsed,
                   QString source = {}, QString pdfProposal = {}, QWidget* parent = nullptr);

    // The tax QR of an invoice this program issued, on the pages and in the
    // saved PDF: the session's for the document unless set before the
    // preview is shown.
    void setTaxQr(const TaxQr& qr) { m_qr = qr; }

    QAction* saveAction() const { return m_save; }
    const QByteArray& document() const { return m_document; }
    // Pages of the copy as laid out for the preview.
    int pageCount() const { return m_pages; }

    // The handlers of "Guardar PDF" and "Imprimir".
    void GuardarPdfClick();
    void ImprimirClick();

signals:
    void pdfSaved(const QString& path);

private:
    void paintPages(QPrinter* printer);
    void addButtonRow();

    InvoiceSession& m_session;
    QByteArray m_document;
    QString m_source;
    FacturaeDocument::Document m_parsed;
    QString m_pdfProposal;
    LogoImage m_logo;
    TaxQr m_qr;
    QAction* m_save = nullptr;
    QLabel* m_saved = nullptr;
    int m_pages = 0;
};
