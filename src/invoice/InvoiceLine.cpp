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

void InvoiceLine::store() {
    computeAmounts();
    // An exempt line is never taxed: a zero rate marks it exempt, any other
    // rate clears the mark.
    treatment = vatRate.isZero() ? VatTreatment::E6 : VatTreatment::S1;
}
