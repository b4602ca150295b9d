#pragma once

#include <QString>

#include <optional>

// The Facturae version a document is written in: 3.2.1 unless the user asks
// for 3.2.2. The content is the same; the namespace and SchemaVersion differ.
enum class FacturaeVersion { V3_2_1, V3_2_2 };

namespace FacturaeVersions {

// "3.2.1" or "3.2.2"
QString text(FacturaeVersion version);
// The version a text names ("3.2.1", "3.2.2", blanks around allowed); nothing
// for any other text.
std::optional<FacturaeVersion> fromText(const QString& text);

} // namespace FacturaeVersions
