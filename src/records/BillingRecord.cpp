#include "records/BillingRecord.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, 10> TreatmentCodes = {u"S1", u"S2", u"E1", u"E2", u"E3",
                                                            u"E4", u"E5", u"E6", u"N1", u"N2"};
constexpr std::array<const char16_t*, 5> TypeCodes = {u"F1", u"R1", u"R2", u"R3", u"R4"};

} // namespace

QString vatTreatmentCode(VatTreatment treatment) {
    return QString::fromUtf16(TreatmentCodes[std::size_t(treatment)]);
}

std::optional<VatTreatment> vatTreatmentFromCode(const QString& code) {
    for (std::size_t i = 0; i < TreatmentCodes.size(); ++i) {
        if (code == QStringView(TreatmentCodes[i]))
            return VatTreatment(i);
    }
    return std::nullopt;
}

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
