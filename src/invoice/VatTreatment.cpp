#include "invoice/VatTreatment.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, VatTreatmentCount> Codes = {
    u"S1", u"S2", u"E1", u"E2", u"E3", u"E4", u"E5", u"E6", u"N1", u"N2"};

constexpr std::array<const char16_t*, VatTreatmentCount> Captions = {
    u"S1 Sujeta y no exenta",
    u"S2 Inversión del sujeto pasivo",
    u"E1 Exenta (art. 20)",
    u"E2 Exenta (art. 21)",
    u"E3 Exenta (art. 22)",
    u"E4 Exenta (arts. 23 y 24)",
    u"E5 Exenta (art. 25)",
    u"E6 Exenta (otra causa)",
    u"N1 No sujeta (arts. 7, 14 y otros)",
    u"N2 No sujeta (reglas de localización)"};

} // namespace

QString vatTreatmentCode(VatTreatment treatment) {
    return QString::fromUtf16(Codes[std::size_t(treatment)]);
}

std::optional<VatTreatment> vatTreatmentFromCode(const QString& code) {
    for (std::size_t i = 0; i < Codes.size(); ++i) {
        if (code.compare(QStringView(Codes[i]), Qt::CaseInsensitive) == 0)
            return VatTreatment(i);
    }
    return std::nullopt;
}

QString vatTreatmentCaption(VatTreatment treatment) {
    return QString::fromUtf16(Captions[std::size_t(treatment)]);
}
