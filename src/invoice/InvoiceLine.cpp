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
