#include "invoice/FacturaeVersion.h"

namespace FacturaeVersions {

QString text(FacturaeVersion version) {
    return version == FacturaeVersion::V3_2_2 ? QStringLiteral("3.2.2") : QStringLiteral("3.2.1");
}

std::optional<FacturaeVersion> fromText(const QString& text) {
    for (const FacturaeVersion v : {FacturaeVersion::V3_2_1, FacturaeVersion::V3_2_2}) {
        if (text.trimmed() == FacturaeVersions::text(v))
            return v;
    }
    return std::nullopt;
}

} // namespace FacturaeVersions
