#pragma once

#include "common/Decimal.h"
#include "invoice/InvoiceLine.h"

#include <QVector>
#include <vector>

class InvoiceRecord;
struct Invoice;

// One VAT rate of the invoice: the sum of the Total of its lines and the tax
// on that sum.
struct VatGroup {
    Decimal rate;
    Decimal base;
    Decimal tax; // round2(base x rate / 100)

    bool operator==(const VatGroup&) const = default;
};

// What the six totals boxes show, and the VAT summary by rate. Every figure is
// a sum of figures the document writes, so the document adds up as written.
struct InvoiceTotals {
    Decimal gross;       // eBruto: sum of Importe
    Decimal discount;    // eDto: sum of DESCUENTO (a surcharge counts negative)
    Decimal base;        // eBase: sum of Total
    Decimal vat;         // eIva: sum of the groups' taxes
    Decimal withholding; // eIRPF: round2(eBase x rate / 100)
    Decimal total;       // eTotal: eBase + eIva - eIRPF
    // One group per rate that appears in a line, exact rate, highest first.
    std::vector<VatGroup> groups;

    bool operator==(const InvoiceTotals&) const = default;
};

// The totals of stored lines at a withholding rate. Touches nothing.
InvoiceTotals computeTotals(const QVector<InvoiceLine>& lines, const Decimal& withholdingRate);

// The totals of an invoice: the one computation behind the totals boxes, the
// document, the readable copy and the check of the invoice on screen.
InvoiceTotals totalsOf(const Invoice& invoice);

// Works the six totals boxes out from every stored line and the withholding
// rate.
void RecalculateTotals(InvoiceRecord& record);
