#include "invoice/Totals.h"

#include "invoice/Invoice.h"
#include "invoice/InvoiceRecord.h"

#include <map>

InvoiceTotals computeTotals(const QVector<InvoiceLine>& lines, const Decimal& withholdingRate) {
    InvoiceTotals t;
    // Highest rate first; a map keeps a file of many distinct rates fast.
    std::map<Decimal, Decimal, std::greater<>> bases;
    for (const InvoiceLine& line : lines) {
        t.gross += line.amount;
        t.discount += line.discountAmount;
        t.base += line.total;
        bases[line.vatRate] += line.total;
    }
    t.groups.reserve(bases.size());
    for (const auto& [rate, base] : bases) {
        const Decimal tax = Decimal::percentOf(base, rate, 2);
        t.groups.push_back({rate, base, tax});
        t.vat += tax;
    }
    t.withholding = Decimal::percentOf(t.base, withholdingRate, 2);
    t.total = t.base + t.vat - t.withholding;
    return t;
}

InvoiceTotals totalsOf(const Invoice& invoice) {
    return computeTotals(invoice.lines, invoice.withholdingRate);
}

void RecalculateTotals(InvoiceRecord& record) {
    record.recalculateTotals();
}
