#include "common/PercentageText.h"

#include "common/ValueForms.h"

namespace PercentageText {

std::optional<QString> normalized(const QString& text) {
    // One decimal mark, either of the two; a text holding both is a number
    // with grouping, which a rate never needs.
    if (text.contains(u'.') && text.contains(u','))
        return std::nullopt;
    QString comma = text.trimmed();
    comma.replace(u'.', u',');
    const auto value = ValueForms::parseNumber(comma);
    if (!value || value->isNegative() || *value > Decimal::fromInteger(100))
        return std::nullopt;
    return comma;
}

} // namespace PercentageText
