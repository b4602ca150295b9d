#pragma once

#include "pdf/FacturaeDocument.h"
#include "pdf/LogoImage.h"
#include "session/TaxQr.h"

#include <QByteArray>
#include <QPrintPreviewDialog>

class InvoiceSession;
class QAction;
class QPrinter;

// The readable copy of a Facturae document as pages, from which the person
// prints it or saves it as PDF. "Guardar PDF" saves through the session (an
// atomic save of the document's own copy), never through the printer's
// print-to-file, so a failed save leaves nothing half-written.
class InvoicePreview : public QPrintPreviewDialog {
    Q_OBJECT
public:
    // document: the Facturae bytes; parsed: what they hold (already read);
    // source: the file they were read from, which the PDF never replaces
    // (empty for the invoice on screen).
    InvoicePreview(InvoiceSession& session, QByteArray document, FacturaeDocument::Document parsed,
                   QString source = {}, QWidget* parent = nullptr);

    // The tax QR of an invoice this program issued, on the pages and in the
    // saved PDF; none unless set before the preview is shown.
    void setTaxQr(const TaxQr& qr) { m_qr = qr; }

    QAction* saveAction() const { return m_save; }
    const QByteArray& document() const { return m_document; }
    // Pages of the copy as laid out for the preview.
    int pageCount() const { return m_pages; }

    // The handler of "Guardar PDF".
    void GuardarPdfClick();

private:
    void paintPages(QPrinter* printer);

    InvoiceSession& m_session;
    QByteArray m_document;
    QString m_source;
    FacturaeDocument::Document m_parsed;
    LogoImage m_logo;
    TaxQr m_qr;
    QAction* m_save = nullptr;
    int m_pages = 0;
};
