#include "invoice/TreatmentReasons.h"

namespace {

constexpr std::array<const char16_t*, VatTreatmentCount> UsualTexts = {
    u"", u"", u"Exenta de IVA según el artículo 20 de la Ley 37/1992",
    u"Exenta de IVA según el artículo 21 de la Ley 37/1992",
    u"Exenta de IVA según el artículo 22 de la Ley 37/1992",
    u"Exenta de IVA según los artículos 23 y 24 de la Ley 37/1992",
    u"Exenta de IVA según el artículo 25 de la Ley 37/1992",
    // The text every exempt line carried before causes could be told apart.
    u"Exento de IVA según lo indicado en el artículo 8 del Real Decreto Ley 15/2020",
    u"Operación no sujeta a IVA según los artículos 7, 14 y otros de la Ley 37/1992",
    u"Operación no sujeta a IVA por las reglas de localización"};

} // namespace

QString TreatmentReasons::text(VatTreatment cause) const {
    const QString& set = m_texts[std::size_t(cause)];
    return set.isEmpty() ? usualText(cause) : set;
}

void TreatmentReasons::setText(VatTreatment cause, const QString& text) {
    m_texts[std::size_t(cause)] = text.trimmed().isEmpty() ? QString() : text;
}

QString TreatmentReasons::usualText(VatTreatment cause) {
    return QString::fromUtf16(UsualTexts[std::size_t(cause)]);
}
