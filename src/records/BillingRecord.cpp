#include "records/BillingRecord.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, 5> TypeCodes = {u"F1", u"R1", u"R2", u"R3", u"R4"};

} // namespace

QString invoiceTypeCode(InvoiceType type) {
    return QString::fromUtf16(TypeCodes[std::size_t(type)]);
}

Decimal BillingRecord::cuotaTotal() const {
    Decimal sum;
    for (const TaxDetail& d : details)
        sum += d.quota;
    return sum;
}

Decimal BillingRecord::importeTotal() const {
    Decimal sum;
    for (const TaxDetail& d : details)
        sum += d.base + d.quota;
    return sum;
}
