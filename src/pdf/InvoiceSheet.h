#pragma once

#include "pdf/FacturaeDocument.h"
#include "pdf/InvoicePageLayout.h"
#include "pdf/TaxQrBlock.h"
#include "session/TaxQr.h"

#include <QFont>
#include <QStringList>

#include <optional>
#include <vector>

class LogoImage;
class QPagedPaintDevice;
class QPainter;

// The printed copy of a Facturae document on A4 pages: measures every part
// on the target device, splits the invoices into pages (InvoicePageLayout),
// then paints them. The device's coordinates must start at the paper's
// corner (no margins); the sheet keeps its own margins.
// qr: the tax QR of the document's first invoice as this program issued it
// (throws AppError when it cannot be encoded); without one, an invoice shows
// the tax agency's address it carries, if any.
class InvoiceSheet {
public:
    InvoiceSheet(const FacturaeDocument::Document& document, QPagedPaintDevice& device,
                 const LogoImage* logo, const TaxQr& qr);

    const std::vector<InvoicePageLayout::Page>& pages() const { return m_pages; }
    // Paints every page on an active painter of the device, starting a new
    // device page between them.
    void paint(QPainter& painter);

private:
    struct RowText {
        QStringList description, notes;
    };
    struct Column {
        QString title;
        double x, width;
        bool right;
    };

    double mm(double v) const { return v * m_dotsPerMm; }
    QStringList wrap(const QString& text, const QFont& font, double width, int maxLines) const;
    double lineHeight(const QFont& font) const;
    double paragraph(QPainter* p, const QFont& font, const QString& text, double x, double y,
                     double width, int maxLines = 60) const;
    void cell(QPainter& p, const QFont& font, const QString& text, double x, double baseline,
              double width, bool right) const;
    double tableRule(QPainter* p, double y) const;

    void measure();
    // The tax QR on the first page of inv (one of the document's invoices).
    const TaxQrBlock* taxQrOf(const FacturaeDocument::Invoice& inv) const;
    RowText rowText(const FacturaeDocument::Invoice& inv, const FacturaeDocument::Line& line) const;
    double rowHeight(const RowText& text) const;

    double opening(QPainter* p, const FacturaeDocument::Invoice& inv, double y) const;
    double party(QPainter* p, const QString& heading, const FacturaeDocument::Party& party,
                 double x, double y, double width) const;
    double continuation(QPainter* p, const FacturaeDocument::Invoice& inv, double y) const;
    double tableHeader(QPainter* p, double y) const;
    double row(QPainter* p, const FacturaeDocument::Invoice& inv,
               const FacturaeDocument::Line& line, const RowText& text, double y) const;
    double closingPart(QPainter* p, const FacturaeDocument::Invoice& inv, int part, double y) const;
    double taxesAndTotals(QPainter* p, const FacturaeDocument::Invoice& inv, double y) const;
    double taxTable(QPainter* p, const QString& heading,
                    const QVector<FacturaeDocument::Tax>& taxes, const QString& currency,
                    double y) const;
    double payment(QPainter* p, const FacturaeDocument::Invoice& inv, double y) const;
    double notes(QPainter* p, const FacturaeDocument::Invoice& inv, double y) const;
    void footer(QPainter& p, const FacturaeDocument::Invoice& inv, int page) const;

    const FacturaeDocument::Document& m_doc;
    QPagedPaintDevice& m_device;
    const LogoImage* m_logo;
    double m_dotsPerMm = 1;
    QFont m_body, m_bold, m_small, m_italic, m_heading, m_title;
    std::vector<Column> m_columns;
    std::vector<std::vector<RowText>> m_rows;     // per invoice, per line
    std::vector<std::vector<int>> m_closingParts; // per invoice, which parts it has
    std::vector<InvoicePageLayout::Page> m_pages;
    std::vector<std::optional<TaxQrBlock>> m_taxQr; // per invoice
};
