#include "invoice/InvoiceLine.h"

double InvoiceLine::vatAmount() const {
    return static_cast<double>(static_cast<long double>(vatRate) * total / 100.0L);
}
