#pragma once

#include "invoice/VatTreatment.h"

#include <QString>
#include <array>

// The text the document writes as the reason of an exempt or not-subject
// line, one per cause, as the issuer sets them in Mis datos. A cause left
// empty reads as its usual text.
class TreatmentReasons {
public:
    QString text(VatTreatment cause) const;
    // A blank text brings the usual one back.
    void setText(VatTreatment cause, const QString& text);

    static QString usualText(VatTreatment cause);

    bool operator==(const TreatmentReasons&) const = default;

private:
    std::array<QString, VatTreatmentCount> m_texts;
};
