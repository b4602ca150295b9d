#include "invoice/InvoiceLine.h"

Decimal InvoiceLine::vatAmount() const {
    return Decimal::percentOf(total, vatRate, 2);
}

void InvoiceLine::computeAmounts() {
    // Importe is rounded to cents before anything else is worked out from it.
    amount = Decimal::product(quantity, price, 2);
    discountAmount = Decimal::percentOf(amount, discountPct, 2);
    discountAmountSet = true;
    total = amount - discountAmount;
}

InvoiceLine InvoiceLine::newLine() {
    InvoiceLine line;
    line.vatRate = Decimal::fromInteger(21);
    return line;
}

void InvoiceLine::store(std::optional<VatTreatment> zeroRateCause) {
    computeAmounts();
    if (!vatRate.isZero())
        treatment = VatTreatment::S1;
    else if (treatment == VatTreatment::S1 && zeroRateCause)
        treatment = *zeroRateCause;
}
