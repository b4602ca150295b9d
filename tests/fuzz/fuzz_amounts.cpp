// The writer on arbitrary decimal amounts: whatever quantities, prices,
// discounts and rates within their limits the lines hold, the document adds
// up as written.
#include "FuzzCheck.h"
#include "InvoiceBuilder.h"
#include "ParsedElement.h"
#include "common/AppError.h"
#include "common/Decimal.h"
#include "facturae/FacturaeWriter.h"
#include "invoice/InvoiceRecord.h"

#include <QBuffer>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <map>

namespace {

using FuzzCheck::check;

using Node = ParsedElement;

// A value with up to eight decimals whose magnitude stays within limit.
Decimal value(FuzzedDataProvider& in, qint64 limit, bool allowNegative) {
    const int decimals = in.ConsumeIntegralInRange<int>(0, 8);
    qint64 bound = limit;
    for (int i = 0; i < decimals; ++i)
        bound = bound > INT64_MAX / 10 ? INT64_MAX : bound * 10;
    return Decimal::fromScaled(in.ConsumeIntegralInRange<qint64>(allowNegative ? -bound : 0, bound),
                               decimals);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    InvoiceRecord record;
    record.lines().open();
    record.setText(RecordField::BankEntity, QStringLiteral("2100"));
    const Decimal rate = value(in, 100, false);
    record.setText(RecordField::WithholdingRate, rate.editText());
    const int count = in.ConsumeIntegralInRange<int>(0, 40);
    for (int n = 0; n < count; ++n) {
        InvoiceLine line;
        line.description = in.ConsumeBool() ? QStringLiteral("CANON:CUOTA FIJA.") : QString();
        line.quantity = value(in, 100000000000LL, true);
        line.price = value(in, 100000000000LL, true);
        line.discountPct = value(in, 100, true);
        line.vatRate = value(in, 100, false);
        InvoiceBuilder::addLine(record.lines(), line);
    }

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    FacturaeWriter::write(record, buffer);
    const Node root = ParsedElement::parse(buffer.data());
    const Node& invoice = root.at(QStringLiteral("Invoices/Invoice"));

    Decimal grossSum;
    std::map<Decimal, Decimal> bases;
    int lines = 0;
    for (const Node& line : invoice.at(QStringLiteral("Items")).children) {
        const InvoiceLine& stored = record.lines().lines().at(lines++);
        check(line.number(QStringLiteral("Quantity")) == stored.quantity);
        check(line.number(QStringLiteral("UnitPriceWithoutTax")) == stored.price);
        const Decimal cost = line.number(QStringLiteral("TotalCost"));
        check(cost == Decimal::product(stored.quantity, stored.price, 2));
        Decimal gross = cost;
        if (line.child(QStringLiteral("DiscountsAndRebates")))
            gross -= line.number(QStringLiteral("DiscountsAndRebates/Discount/DiscountAmount"));
        if (line.child(QStringLiteral("Charges")))
            gross += line.number(QStringLiteral("Charges/Charge/ChargeAmount"));
        check(line.number(QStringLiteral("GrossAmount")) == gross);
        const Decimal taxRate = line.number(QStringLiteral("TaxesOutputs/Tax/TaxRate"));
        check(line.number(QStringLiteral("TaxesOutputs/Tax/TaxAmount/TotalAmount")) ==
              Decimal::percentOf(gross, taxRate, 2));
        grossSum += gross;
        bases[taxRate] += gross;
    }
    check(lines == count);

    Decimal taxSum;
    int groups = 0;
    for (const Node& group : invoice.at(QStringLiteral("TaxesOutputs")).children) {
        const Decimal groupRate = group.number(QStringLiteral("TaxRate"));
        const auto found = bases.find(groupRate);
        check(found != bases.end());
        check(group.number(QStringLiteral("TaxableBase/TotalAmount")) == found->second);
        const Decimal tax = group.number(QStringLiteral("TaxAmount/TotalAmount"));
        check(tax == Decimal::percentOf(found->second, groupRate, 2));
        taxSum += tax;
        ++groups;
    }
    check(groups == int(bases.size()));

    const Node& totals = invoice.at(QStringLiteral("InvoiceTotals"));
    check(totals.number(QStringLiteral("TotalGrossAmount")) == grossSum);
    check(totals.number(QStringLiteral("TotalTaxOutputs")) == taxSum);
    const Decimal withheld = totals.number(QStringLiteral("TotalTaxesWithheld"));
    check(withheld == Decimal::percentOf(grossSum, rate, 2));
    const Decimal total = totals.number(QStringLiteral("InvoiceTotal"));
    check(total ==
          totals.number(QStringLiteral("TotalGrossAmountBeforeTaxes")) + taxSum - withheld);
    check(totals.number(QStringLiteral("TotalExecutableAmount")) == total);
    check(invoice.number(QStringLiteral("PaymentDetails/Installment/InstallmentAmount")) == total);
    check(record.totalValue(TotalBox::Total) == total);
    return 0;
}
