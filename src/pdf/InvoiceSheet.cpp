#include "pdf/InvoiceSheet.h"

#include "common/AppError.h"
#include "common/Decimal.h"
#include "pdf/AeatQrAddress.h"
#include "pdf/LogoImage.h"
#include "pdf/PdfFonts.h"
#include "pdf/ReadableText.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <optional>

using namespace FacturaeDocument;
namespace RT = ReadableText;

namespace {

// Page geometry in millimetres (A4 portrait).
constexpr double PageWidth = 210, Left = 15, Right = 195, Top = 14, BodyBottom = 279,
                 FooterBaseline = 288;
constexpr double TableWidth = Right - Left;
constexpr double RowPad = 1.2;
constexpr int MaxDescriptionLines = 40;

const QColor Ink(0x20, 0x20, 0x20);
const QColor Muted(0x55, 0x55, 0x55);
const QColor Rule(0xbb, 0xbb, 0xbb);
const QColor Band(0xe8, 0xec, 0xf0);

enum ClosingPart { TaxesAndTotals, Payment, Notes };

QString ident(const Invoice& inv) {
    return inv.series.isEmpty() ? inv.number : inv.series + u' ' + inv.number;
}

// The code given for the first invoice (issued by this program) is drawn or
// the copy fails; an address found in a document is drawn only when it is the
// tax agency's and encodes, never with a legend.
std::optional<TaxQrBlock> taxQrBlock(const Invoice& inv, const TaxQr* given) {
    if (given && !given->isEmpty())
        return TaxQrBlock(TaxQrCode(given->address), given->legend);
    if (!AeatQrAddress::accepts(inv.taxQrAddress))
        return std::nullopt;
    try {
        return TaxQrBlock(TaxQrCode(inv.taxQrAddress), QString());
    } catch (const AppError&) {
        return std::nullopt;
    }
}

const Tax* mainTax(const Line& line) {
    for (const Tax& t : line.taxes) {
        if (t.typeCode == u"01")
            return &t;
    }
    return line.taxes.isEmpty() ? nullptr : &line.taxes.first();
}

std::optional<::Decimal> exact(const QString& text) {
    const QByteArray ascii = text.trimmed().toLatin1();
    ::Decimal value;
    if (ascii.isEmpty() ||
        ::Decimal::parse(ascii.constData(), ascii.size(), value) != ::Decimal::ParseStatus::Ok)
        return std::nullopt;
    return value;
}

// The sum of the lines' amounts before their discounts and charges: the
// window's subtotal. None when a figure is not a number the program reads.
std::optional<QString> linesSubtotal(const Invoice& inv) {
    ::Decimal sum;
    for (const Line& line : inv.lines) {
        const std::optional<::Decimal> cost = exact(line.totalCost);
        if (!cost)
            return std::nullopt;
        sum += *cost;
    }
    return sum.plainText();
}

// a - b, both numbers; empty when either is not one.
QString difference(const QString& a, const QString& b) {
    const std::optional<::Decimal> x = exact(a), y = exact(b);
    return x && y ? (*x - *y).plainText() : QString();
}

// Whether every tax of the list is of that type (VAT 01, IRPF 04).
bool onlyTaxOf(const QVector<Tax>& taxes, QStringView typeCode) {
    return !taxes.isEmpty() && std::all_of(taxes.begin(), taxes.end(), [&](const Tax& t) {
        return t.typeCode.trimmed() == typeCode;
    });
}

} // namespace

InvoiceSheet::InvoiceSheet(const Document& document, QPagedPaintDevice& device,
                           const LogoImage* logo, const TaxQr& qr)
    : m_doc(document), m_device(device), m_logo(logo && !logo->isNull() ? logo : nullptr) {
    for (qsizetype n = 0; n < document.invoices.size(); ++n)
        m_taxQr.push_back(taxQrBlock(document.invoices[n], n == 0 ? &qr : nullptr));
    m_dotsPerMm = device.logicalDpiY() / 25.4;
    const QString family = PdfFonts::family();
    auto font = [&](double points, bool bold, bool italic) {
        QFont f(family);
        f.setPointSizeF(points);
        f.setBold(bold);
        f.setItalic(italic);
        f.setKerning(false);
        // No ligatures: "fi" stays two letters, so the copy's text can be
        // searched and copied as written.
        f.setStyleStrategy(QFont::PreferNoShaping);
        return f;
    };
    m_body = font(8.5, false, false);
    m_bold = font(8.5, true, false);
    m_small = font(7, false, false);
    m_italic = font(7, false, true);
    m_heading = font(9.5, true, false);
    m_title = font(15, true, false);
    m_columns = {{QStringLiteral("Descripción"), Left, 72, false},
                 {QStringLiteral("Cantidad"), Left + 72, 20, true},
                 {QStringLiteral("Precio unit."), Left + 92, 26, true},
                 {QStringLiteral("Dto. %"), Left + 118, 16, true},
                 {QStringLiteral("IVA %"), Left + 134, 17, true},
                 {QStringLiteral("Importe"), Left + 151, TableWidth - 151, true}};
    measure();
}

QStringList InvoiceSheet::wrap(const QString& text, const QFont& font, double width,
                               int maxLines) const {
    QString flat = text;
    flat.replace(u'\t', u' ');
    flat.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    flat.replace(u'\n', QChar::LineSeparator);
    flat.replace(u'\r', QChar::LineSeparator);
    QStringList lines;
    if (flat.isEmpty())
        return lines;
    QTextLayout layout(flat, font, &m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(false);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines) {
            lines.last().append(QStringLiteral(" …"));
            break;
        }
        lines << flat.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    for (QString& l : lines)
        l.remove(QChar::LineSeparator);
    return lines;
}

double InvoiceSheet::lineHeight(const QFont& font) const {
    return QFontMetricsF(font, &m_device).lineSpacing();
}

double InvoiceSheet::paragraph(QPainter* p, const QFont& font, const QString& text, double x,
                               double y, double width, int maxLines) const {
    const QStringList lines = wrap(text, font, width, maxLines);
    const QFontMetricsF fm(font, &m_device);
    if (p) {
        p->setFont(font);
        for (qsizetype i = 0; i < lines.size(); ++i)
            p->drawText(QPointF(x, y + i * fm.lineSpacing() + fm.ascent()), lines[i]);
    }
    return lines.size() * fm.lineSpacing();
}

// One figure in a table cell; a figure wider than its cell is set smaller
// rather than cut, so every digit stays readable.
void InvoiceSheet::cell(QPainter& p, const QFont& font, const QString& text, double x,
                        double baseline, double width, bool right) const {
    if (text.isEmpty())
        return;
    const double inner = width - mm(1.5);
    double advance = QFontMetricsF(font, &m_device).horizontalAdvance(text);
    if (advance > inner) {
        QFont smaller = font;
        smaller.setPointSizeF(qMax(4.0, font.pointSizeF() * inner / advance));
        p.setFont(smaller);
        advance = QFontMetricsF(smaller, &m_device).horizontalAdvance(text);
    } else {
        p.setFont(font);
    }
    const double left = right ? x + width - mm(0.75) - advance : x + mm(0.75);
    p.drawText(QPointF(left, baseline), text);
}

double InvoiceSheet::tableRule(QPainter* p, double y) const {
    if (p) {
        p->setPen(QPen(Rule, mm(0.15)));
        p->drawLine(QPointF(mm(Left), y), QPointF(mm(Right), y));
        p->setPen(Ink);
    }
    return 0;
}

InvoiceSheet::RowText InvoiceSheet::rowText(const Invoice& inv, const Line& line) const {
    RowText text;
    text.description =
        wrap(line.description, m_body, mm(m_columns[0].width - 1.5), MaxDescriptionLines);
    if (text.description.isEmpty())
        text.description << QString();
    QStringList notes;
    if (!line.fileReference.isEmpty()) {
        QString ref = QStringLiteral("Expediente: ") + line.fileReference;
        if (!line.fileDate.isEmpty())
            ref += QStringLiteral(" · Fecha: ") + RT::date(line.fileDate);
        notes << ref;
    } else if (!line.fileDate.isEmpty()) {
        notes << QStringLiteral("Fecha del expediente: ") + RT::date(line.fileDate);
    }
    if (!line.discounts.isEmpty() || !line.charges.isEmpty()) {
        QStringList parts;
        if (!line.totalCost.isEmpty())
            parts << QStringLiteral("Importe ") + RT::money(line.totalCost, inv.currency);
        for (const Adjustment& d : line.discounts)
            parts << QStringLiteral("Descuento") +
                         (d.rate.isEmpty() ? QString() : u' ' + RT::percent(d.rate)) +
                         QStringLiteral(": ") + RT::money(d.amount, inv.currency);
        for (const Adjustment& c : line.charges)
            parts << QStringLiteral("Recargo") +
                         (c.rate.isEmpty() ? QString() : u' ' + RT::percent(c.rate)) +
                         QStringLiteral(": ") + RT::money(c.amount, inv.currency);
        notes << parts.join(QStringLiteral(" · "));
    }
    for (const Tax& t : line.taxes) {
        if (&t != mainTax(line) || !t.surchargeRate.isEmpty())
            notes << RT::taxName(t.typeCode) + u' ' + RT::percent(t.rate) +
                         QStringLiteral(" sobre ") + RT::money(t.base, inv.currency) +
                         QStringLiteral(": ") + RT::money(t.amount, inv.currency) +
                         (t.surchargeRate.isEmpty()
                              ? QString()
                              : QStringLiteral(" · Recargo de equivalencia ") +
                                    RT::percent(t.surchargeRate));
    }
    if (!line.exemptionCode.isEmpty() || !line.exemptionReason.isEmpty())
        notes << QStringLiteral("Operación exenta: ") +
                     (line.exemptionReason.isEmpty() ? line.exemptionCode : line.exemptionReason);
    for (const QString& n : notes)
        text.notes << wrap(n, m_italic, mm(TableWidth - 1.5), 6);
    return text;
}

double InvoiceSheet::rowHeight(const RowText& text) const {
    return mm(2 * RowPad) + text.description.size() * lineHeight(m_body) +
           text.notes.size() * lineHeight(m_italic);
}

void InvoiceSheet::measure() {
    std::vector<InvoicePageLayout::InvoiceHeights> heights;
    for (const Invoice& inv : m_doc.invoices) {
        InvoicePageLayout::InvoiceHeights h;
        h.opening = opening(nullptr, inv, 0);
        h.continuation = continuation(nullptr, inv, 0);
        h.tableHeader = tableHeader(nullptr, 0);
        std::vector<RowText> rows;
        rows.reserve(std::size_t(inv.lines.size()));
        h.rows.reserve(std::size_t(inv.lines.size()));
        for (const Line& line : inv.lines) {
            rows.push_back(rowText(inv, line));
            h.rows.push_back(rowHeight(rows.back()));
        }
        std::vector<int> parts{TaxesAndTotals};
        if (!inv.installments.isEmpty())
            parts.push_back(Payment);
        if (!inv.notes.isEmpty())
            parts.push_back(Notes);
        for (const int part : parts)
            h.closing.push_back(closingPart(nullptr, inv, part, 0));
        m_rows.push_back(std::move(rows));
        m_closingParts.push_back(parts);
        heights.push_back(std::move(h));
    }
    m_pages = InvoicePageLayout::paginate(heights, mm(BodyBottom - Top));
}

const TaxQrBlock* InvoiceSheet::taxQrOf(const Invoice& inv) const {
    const std::optional<TaxQrBlock>& block =
        m_taxQr[std::size_t(&inv - m_doc.invoices.constData())];
    return block ? &*block : nullptr;
}

void InvoiceSheet::paint(QPainter& painter) {
    painter.setPen(Ink);
    for (int n = 0; n < int(m_pages.size()); ++n) {
        const InvoicePageLayout::Page& page = m_pages[n];
        if (n > 0)
            m_device.newPage();
        const Invoice& inv = m_doc.invoices[page.invoice];
        double y = mm(Top);
        y += page.first ? opening(&painter, inv, y) : continuation(&painter, inv, y);
        if (page.hasRows()) {
            y += tableHeader(&painter, y);
            for (int r = page.rowBegin; r < page.rowEnd; ++r)
                y += row(&painter, inv, inv.lines[r], m_rows[page.invoice][r], y);
        }
        for (int c = page.closingBegin; c < page.closingEnd; ++c)
            y += closingPart(&painter, inv, m_closingParts[page.invoice][c], y);
        footer(painter, inv, n);
    }
}

double InvoiceSheet::opening(QPainter* p, const Invoice& inv, double top) const {
    const double x = mm(Left), width = mm(TableWidth);
    double left = top;
    if (m_logo) {
        if (p)
            m_logo->draw(*p, QRectF(x, top, mm(50), mm(25)));
        left = top + mm(25);
    }
    // The tax QR beside the logo, clear of the invoice's data at the right.
    if (const TaxQrBlock* qr = taxQrOf(inv))
        left = qMax(left, top + qr->place(p, m_bold, m_device, mm(Left + (m_logo ? 50 : 0)), top));
    // Title and the invoice's own data at the right.
    const double rx = mm(Left + 95), rw = mm(TableWidth - 95);
    auto rightLine = [&](const QFont& font, const QString& text, double& y) {
        const QFontMetricsF fm(font, &m_device);
        if (p) {
            p->setFont(font);
            const double advance = fm.horizontalAdvance(text);
            p->drawText(QPointF(qMax(rx, rx + rw - advance), y + fm.ascent()), text);
        }
        y += fm.lineSpacing();
    };
    double y = top;
    rightLine(m_title, RT::documentTitle(inv.documentType, inv.invoiceClass), y);
    y += mm(1);
    if (!inv.series.isEmpty())
        rightLine(m_body, QStringLiteral("Serie: ") + inv.series, y);
    rightLine(m_bold, QStringLiteral("Número: ") + inv.number, y);
    rightLine(m_body, QStringLiteral("Fecha de expedición: ") + RT::date(inv.issueDate), y);
    if (!inv.operationDate.isEmpty())
        rightLine(m_body, QStringLiteral("Fecha de operación: ") + RT::date(inv.operationDate), y);
    if (!inv.periodStart.isEmpty() || !inv.periodEnd.isEmpty())
        rightLine(m_body,
                  QStringLiteral("Periodo: ") + RT::date(inv.periodStart) + QStringLiteral(" – ") +
                      RT::date(inv.periodEnd),
                  y);
    if (!inv.installments.isEmpty()) {
        QString due = QStringLiteral("Vencimiento: ") + RT::date(inv.installments[0].dueDate);
        if (inv.installments.size() > 1)
            due = QStringLiteral("Primer vencimiento: ") + RT::date(inv.installments[0].dueDate) +
                  QStringLiteral(" (%1 plazos)").arg(inv.installments.size());
        rightLine(m_body, due, y);
    }
    y = qMax(y, left) + mm(3);

    const Signature& s = m_doc.signature;
    if (s.present) {
        QString text = QStringLiteral("Documento firmado electrónicamente");
        if (!s.signerName.isEmpty())
            text += QStringLiteral(" por ") + s.signerName;
        if (!s.signingTime.isEmpty())
            text += QStringLiteral(" el ") + RT::dateTime(s.signingTime);
        text += u'.';
        if (s.checked && !s.valid)
            text += QStringLiteral(" La firma NO es válida: el documento pudo cambiar después "
                                   "de firmarse.");
        else if (s.checked && s.trusted)
            text += QStringLiteral(" La firma es válida y su certificado procede de una "
                                   "autoridad de confianza.");
        else if (s.checked)
            text += QStringLiteral(" La firma es válida, pero no se ha podido confirmar la "
                                   "confianza en su certificado.");
        y += paragraph(p, m_bold, text, x, y, width, 4) + mm(2);
    }

    const double columnWidth = mm(TableWidth / 2 - 3);
    const double seller = party(p, QStringLiteral("EMISOR"), m_doc.seller, x, y, columnWidth);
    const double buyer = party(p, QStringLiteral("CLIENTE"), m_doc.buyer,
                               x + mm(TableWidth / 2 + 3), y, columnWidth);
    y += qMax(seller, buyer) + mm(5);
    return y - top;
}

double InvoiceSheet::party(QPainter* p, const QString& heading, const Party& party, double x,
                           double top, double width) const {
    double y = top;
    y += paragraph(p, m_heading, heading, x, y, width, 1);
    if (p) {
        p->setPen(QPen(Rule, mm(0.3)));
        p->drawLine(QPointF(x, y + mm(0.5)), QPointF(x + width, y + mm(0.5)));
        p->setPen(Ink);
    }
    y += mm(1.5);
    y += paragraph(p, m_bold, party.name, x, y, width, 4);
    if (!party.tradeName.isEmpty() && party.tradeName != party.name)
        y += paragraph(p, m_body, party.tradeName, x, y, width, 3);
    y += paragraph(p, m_body, QStringLiteral("NIF: ") + party.taxId, x, y, width, 2);
    const Address& a = party.address;
    y += paragraph(p, m_body, a.street, x, y, width, 4);
    const QString town = QStringList{a.postCode, a.town}.join(u' ').trimmed();
    y += paragraph(p, m_body, town, x, y, width, 3);
    QString province = a.province;
    if (!a.countryCode.isEmpty() && a.countryCode != u"ESP")
        province = province.isEmpty() ? a.countryCode
                                      : province + QStringLiteral(" (") + a.countryCode + u')';
    y += paragraph(p, m_body, province, x, y, width, 3);
    if (!party.email.isEmpty())
        y += paragraph(p, m_body, QStringLiteral("Correo electrónico: ") + party.email, x, y, width,
                       3);
    if (!party.telephone.isEmpty())
        y += paragraph(p, m_body, QStringLiteral("Teléfono: ") + party.telephone, x, y, width, 2);
    if (!party.centres.isEmpty()) {
        y += mm(1.5);
        y += paragraph(p, m_bold, QStringLiteral("Centros administrativos"), x, y, width, 1);
        for (const Centre& c : party.centres) {
            QString text = RT::centreRole(c.roleCode) + QStringLiteral(" (") + c.roleCode +
                           QStringLiteral("): ") + c.code;
            const QString name = c.name.isEmpty() ? c.description : c.name;
            if (!name.isEmpty())
                text += QStringLiteral(" – ") + name;
            if (!c.description.isEmpty() && c.description != name)
                text += QStringLiteral(" (") + c.description + u')';
            y += paragraph(p, m_small, text, x, y, width, 4);
        }
    }
    return y - top;
}

double InvoiceSheet::continuation(QPainter* p, const Invoice& inv, double top) const {
    const QString text = RT::documentTitle(inv.documentType, inv.invoiceClass) + u' ' + ident(inv) +
                         QStringLiteral(" (continuación)");
    const double h = paragraph(p, m_heading, text, mm(Left), top, mm(TableWidth), 1);
    return h + mm(3);
}

double InvoiceSheet::tableHeader(QPainter* p, double top) const {
    const QFontMetricsF fm(m_bold, &m_device);
    const double h = fm.lineSpacing() + mm(2 * RowPad);
    if (p) {
        p->fillRect(QRectF(mm(Left), top, mm(TableWidth), h), Band);
        for (const Column& c : m_columns)
            cell(*p, m_bold, c.title, mm(c.x), top + mm(RowPad) + fm.ascent(), mm(c.width),
                 c.right);
    }
    return h;
}

double InvoiceSheet::row(QPainter* p, const Invoice& inv, const Line& line, const RowText& text,
                         double top) const {
    const double h = rowHeight(text);
    if (!p)
        return h;
    const QFontMetricsF body(m_body, &m_device);
    const double baseline = top + mm(RowPad) + body.ascent();
    p->setFont(m_body);
    for (qsizetype i = 0; i < text.description.size(); ++i)
        p->drawText(QPointF(mm(Left + 0.75), baseline + i * body.lineSpacing()),
                    text.description[i]);
    QString discount;
    if (!line.discounts.isEmpty())
        discount = RT::number(line.discounts.first().rate);
    else if (!line.charges.isEmpty() && !line.charges.first().rate.isEmpty())
        discount = u'-' + RT::number(line.charges.first().rate);
    const Tax* tax = mainTax(line);
    QString rate = tax ? RT::number(tax->rate) : QString();
    if (tax && tax->typeCode != u"01" && !tax->typeCode.isEmpty())
        rate = RT::taxName(tax->typeCode) + u' ' + rate;
    const QString values[] = {RT::number(line.quantity), RT::number(line.unitPrice), discount, rate,
                              RT::money(line.grossAmount, inv.currency)};
    for (int c = 1; c < int(m_columns.size()); ++c)
        cell(*p, m_body, values[c - 1], mm(m_columns[c].x), baseline, mm(m_columns[c].width), true);
    if (!text.notes.isEmpty()) {
        const QFontMetricsF small(m_italic, &m_device);
        p->setFont(m_italic);
        p->setPen(Muted);
        const double first = top + mm(RowPad) + text.description.size() * body.lineSpacing();
        for (qsizetype i = 0; i < text.notes.size(); ++i)
            p->drawText(QPointF(mm(Left + 3), first + i * small.lineSpacing() + small.ascent()),
                        text.notes[i]);
        p->setPen(Ink);
    }
    tableRule(p, top + h);
    return h;
}

double InvoiceSheet::closingPart(QPainter* p, const Invoice& inv, int part, double y) const {
    switch (part) {
    case TaxesAndTotals:
        return taxesAndTotals(p, inv, y);
    case Payment:
        return payment(p, inv, y);
    default:
        return notes(p, inv, y);
    }
}

void InvoiceSheet::footer(QPainter& p, const Invoice& inv, int page) const {
    p.setFont(m_small);
    p.setPen(Muted);
    const QFontMetricsF fm(m_small, &m_device);
    const QString number = QStringLiteral("Página %1 de %2").arg(page + 1).arg(m_pages.size());
    const double baseline = mm(FooterBaseline);
    p.drawText(QPointF(mm(PageWidth / 2) - fm.horizontalAdvance(number) / 2, baseline), number);
    const QString left =
        QStringLiteral("Factura ") + ident(inv) + QStringLiteral(" · ") + m_doc.seller.name;
    p.drawText(QPointF(mm(Left), baseline), fm.elidedText(left, Qt::ElideRight, mm(75)));
    p.setPen(Ink);
}

double InvoiceSheet::taxTable(QPainter* p, const QString& heading, const QVector<Tax>& taxes,
                              const QString& currency, double top) const {
    const double x = mm(Left);
    double y = top;
    y += paragraph(p, m_heading, heading, x, y, mm(100), 1) + mm(1);
    const QFontMetricsF fm(m_body, &m_device);
    const double step = fm.lineSpacing() + mm(1);
    // Tax, base, rate, amount; widths in millimetres.
    const double cx[] = {0, 18, 48, 68}, cw[] = {18, 30, 20, 32};
    const QString titles[] = {QStringLiteral("Impuesto"), QStringLiteral("Base imponible"),
                              QStringLiteral("Tipo %"), QStringLiteral("Cuota")};
    if (p) {
        p->fillRect(QRectF(x, y, mm(100), step), Band);
        for (int i = 0; i < 4; ++i)
            cell(*p, m_bold, titles[i], x + mm(cx[i]), y + mm(0.5) + fm.ascent(), mm(cw[i]), i > 0);
    }
    y += step;
    for (const Tax& t : taxes) {
        if (p) {
            const QString values[] = {RT::taxName(t.typeCode), RT::money(t.base, currency),
                                      RT::number(t.rate), RT::money(t.amount, currency)};
            for (int i = 0; i < 4; ++i)
                cell(*p, m_body, values[i], x + mm(cx[i]), y + mm(0.5) + fm.ascent(), mm(cw[i]),
                     i > 0);
        }
        y += step;
        if (!t.surchargeRate.isEmpty() || !t.surchargeAmount.isEmpty()) {
            const QString text = QStringLiteral("Recargo de equivalencia ") +
                                 RT::percent(t.surchargeRate) + QStringLiteral(": ") +
                                 RT::money(t.surchargeAmount, currency);
            y += paragraph(p, m_italic, text, x + mm(18), y, mm(82), 2);
        }
    }
    if (taxes.isEmpty())
        y += paragraph(p, m_italic, QStringLiteral("Sin impuestos."), x, y, mm(100), 1);
    return y - top;
}

double InvoiceSheet::taxesAndTotals(QPainter* p, const Invoice& inv, double top) const {
    double left = top + mm(4);
    left +=
        taxTable(p, QStringLiteral("Resumen de impuestos"), inv.taxesOutputs, inv.currency, left);
    if (!inv.taxesWithheld.isEmpty()) {
        left += mm(3);
        left += taxTable(p, QStringLiteral("Retenciones"), inv.taxesWithheld, inv.currency, left);
    }

    const Totals& t = inv.totals;
    struct Entry {
        QString label, value;
        bool strong;
    };
    std::vector<Entry> entries;
    auto add = [&](const QString& label, const QString& value, bool strong, bool always) {
        if (always || !RT::isZero(value))
            entries.push_back({label, RT::money(value, inv.currency), strong});
    };
    // The window's words: the lines' amounts, their discounts, the base.
    if (const std::optional<QString> subtotal = linesSubtotal(inv)) {
        add(QStringLiteral("Subtotal"), *subtotal, false, true);
        add(QStringLiteral("Descuento"), difference(*subtotal, t.grossAmount), false, false);
    } else {
        add(QStringLiteral("Subtotal"), t.grossAmount, false, true);
    }
    add(QStringLiteral("Descuentos generales"), t.generalDiscounts, false, false);
    add(QStringLiteral("Recargos generales"), t.generalSurcharges, false, false);
    add(QStringLiteral("Base imponible"), t.grossBeforeTaxes, false, true);
    add(onlyTaxOf(inv.taxesOutputs, u"01") ? QStringLiteral("I.V.A.")
                                           : QStringLiteral("Impuestos repercutidos"),
        t.taxOutputs, false, true);
    add(onlyTaxOf(inv.taxesWithheld, u"04") ? QStringLiteral("I.R.P.F.")
                                            : QStringLiteral("Impuestos retenidos"),
        t.taxesWithheld, false, !inv.taxesWithheld.isEmpty());
    add(QStringLiteral("TOTAL FACTURA"), t.invoiceTotal, true, true);
    add(QStringLiteral("Anticipos"), t.paymentsOnAccount, false, false);
    add(QStringLiteral("Suplidos"), t.reimbursable, false, false);
    if (t.executable != t.invoiceTotal || t.outstanding != t.invoiceTotal)
        add(QStringLiteral("Total a pagar"), t.executable.isEmpty() ? t.outstanding : t.executable,
            true, true);

    const double x = mm(Left + 110), width = mm(TableWidth - 110);
    double right = top + mm(4);
    right += paragraph(p, m_heading, QStringLiteral("Totales"), x, right, width, 1) + mm(1);
    for (const Entry& e : entries) {
        const QFont& font = e.strong ? m_heading : m_body;
        const QFontMetricsF fm(font, &m_device);
        const double step = fm.lineSpacing() + mm(1);
        if (p) {
            if (e.strong)
                p->fillRect(QRectF(x, right, width, step), Band);
            cell(*p, font, e.label, x, right + mm(0.5) + fm.ascent(), width * 0.55, false);
            cell(*p, font, e.value, x + width * 0.45, right + mm(0.5) + fm.ascent(), width * 0.55,
                 true);
        }
        right += step;
    }
    return qMax(left, right) - top + mm(3);
}

double InvoiceSheet::payment(QPainter* p, const Invoice& inv, double top) const {
    const double x = mm(Left);
    double y = top + mm(2);
    y += paragraph(p, m_heading, QStringLiteral("Forma de pago"), x, y, mm(TableWidth), 1) + mm(1);
    const QFontMetricsF fm(m_body, &m_device);
    const double step = fm.lineSpacing() + mm(1);
    const double cx[] = {0, 25, 58, 98}, cw[] = {25, 30, 40, TableWidth - 98};
    const QString titles[] = {QStringLiteral("Vencimiento"), QStringLiteral("Importe"),
                              QStringLiteral("Medio de pago"), QStringLiteral("Cuenta")};
    if (p) {
        p->fillRect(QRectF(x, y, mm(TableWidth), step), Band);
        for (int i = 0; i < 4; ++i)
            cell(*p, m_bold, titles[i], x + mm(cx[i]), y + mm(0.5) + fm.ascent(), mm(cw[i]),
                 i == 1);
    }
    y += step;
    for (const Installment& i : inv.installments) {
        if (p) {
            QString account;
            if (!i.creditIban.isEmpty())
                account = QStringLiteral("IBAN ") + RT::iban(i.creditIban);
            else if (!i.creditAccount.isEmpty())
                account = i.creditAccount;
            if (!i.creditBic.isEmpty())
                account += QStringLiteral(" · BIC ") + i.creditBic;
            if (!i.debitIban.isEmpty() || !i.debitAccount.isEmpty())
                account += (account.isEmpty() ? QString() : QStringLiteral(" · ")) +
                           QStringLiteral("Cargo en ") +
                           (i.debitIban.isEmpty() ? i.debitAccount : RT::iban(i.debitIban));
            const QString values[] = {RT::date(i.dueDate), RT::money(i.amount, inv.currency),
                                      RT::paymentMeans(i.meansCode), account};
            for (int c = 0; c < 4; ++c)
                cell(*p, m_body, values[c], x + mm(cx[c]), y + mm(0.5) + fm.ascent(), mm(cw[c]),
                     c == 1);
        }
        y += step;
    }
    return y - top + mm(2);
}

double InvoiceSheet::notes(QPainter* p, const Invoice& inv, double top) const {
    const double x = mm(Left);
    double y = top + mm(2);
    y += paragraph(p, m_heading, QStringLiteral("Observaciones"), x, y, mm(TableWidth), 1) + mm(1);
    for (const QString& note : inv.notes)
        y += paragraph(p, m_small, note, x, y, mm(TableWidth), 30) + mm(1);
    return y - top;
}
