#include "pdf/BookRowReader.h"

#include "common/AppError.h"
#include "common/Decimal.h"
#include "facturae/TaxIdCheck.h"

using namespace FacturaeDocument;

namespace {

// Amounts in cents, rounded half away from zero as the program rounds; an
// empty element reads as none when it may be left out.
qint64 cents(const QString& text, const QString& element, const QString& which, bool optional) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() && optional)
        return 0;
    const QByteArray latin = trimmed.toLatin1();
    Decimal value;
    if (trimmed.isEmpty() ||
        Decimal::parse(latin.constData(), latin.size(), value) != Decimal::ParseStatus::Ok)
        throw AppError(QStringLiteral("la factura %1 no tiene un importe legible en %2 («%3»)")
                           .arg(which, element, trimmed));
    return value.rounded(2).plainText(2, 2).remove(QLatin1Char('.')).toLongLong();
}

QString rateText(const QString& text, const QString& which) {
    const QString trimmed = text.trimmed();
    const QByteArray latin = trimmed.toLatin1();
    Decimal value;
    if (Decimal::parse(latin.constData(), latin.size(), value) != Decimal::ParseStatus::Ok)
        throw AppError(
            QStringLiteral("la factura %1 tiene un tipo de impuesto que no es un número («%2»)")
                .arg(which, trimmed));
    return trimmed;
}

InvoiceRow rowOf(const Document& document, const Invoice& invoice, const QString& issuerTaxId,
                 const QByteArray& bytes, const QString& fileName) {
    InvoiceRow row;
    InvoiceSummary& s = row.summary;
    s.issuerTaxId = issuerTaxId;
    s.series = invoice.series.trimmed();
    s.number = invoice.number.trimmed();
    const QString which = s.seriesNumber().isEmpty() ? QStringLiteral("sin número")
                                                     : QStringLiteral("«%1»").arg(s.seriesNumber());
    if (s.number.isEmpty())
        throw AppError(QStringLiteral("una factura del documento no tiene número"));
    s.issueDate = QDate::fromString(invoice.issueDate.trimmed(), Qt::ISODate);
    if (!s.issueDate.isValid())
        throw AppError(QStringLiteral("la factura %1 no tiene una fecha de expedición legible "
                                      "(«%2»)")
                           .arg(which, invoice.issueDate));
    if (!invoice.installments.isEmpty())
        s.dueDate = QDate::fromString(invoice.installments.first().dueDate.trimmed(), Qt::ISODate);
    s.customerTaxId = document.buyer.taxId.trimmed();
    s.customerName = document.buyer.name;
    const Totals& t = invoice.totals;
    s.baseCents =
        cents(t.grossBeforeTaxes, QStringLiteral("TotalGrossAmountBeforeTaxes"), which, false);
    s.vatCents = cents(t.taxOutputs, QStringLiteral("TotalTaxOutputs"), which, false);
    s.withholdingCents = cents(t.taxesWithheld, QStringLiteral("TotalTaxesWithheld"), which, true);
    s.totalCents = cents(t.invoiceTotal, QStringLiteral("InvoiceTotal"), which, false);
    for (const Tax& tax : invoice.taxesOutputs)
        row.vatGroups.append({rateText(tax.rate, which),
                              cents(tax.base, QStringLiteral("TaxableBase"), which, false),
                              cents(tax.amount, QStringLiteral("TaxAmount"), which, false)});
    row.document = bytes;
    row.fileName = fileName;
    return row;
}

} // namespace

namespace BookRowReader {

QString ownTaxIdRequired(const QString& ownTaxId) {
    const QString mine = TaxIdCheck::check(ownTaxId).id;
    if (mine.isEmpty())
        throw AppError(QStringLiteral("Falta su NIF en Mis datos (Registro.Ini, [MISDATOS] NIF): "
                                      "sin él no se sabe qué facturas son suyas"));
    return mine;
}

QList<InvoiceRow> rows(const Document& document, const QByteArray& bytes, const QString& fileName,
                       const QString& ownTaxId) {
    const QString mine = ownTaxIdRequired(ownTaxId);
    const QString seller = TaxIdCheck::check(document.seller.taxId).id;
    if (seller != mine)
        throw AppError(QStringLiteral("el vendedor de esta factura tiene el NIF «%1», no el suyo "
                                      "(%2): el libro solo guarda las facturas que usted emite")
                           .arg(document.seller.taxId.trimmed(), ownTaxId.trimmed()));
    QList<InvoiceRow> list;
    for (const Invoice& invoice : document.invoices)
        list.append(rowOf(document, invoice, mine, bytes, fileName));
    return list;
}

} // namespace BookRowReader
