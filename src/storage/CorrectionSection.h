#pragma once

#include "invoice/Correction.h"

#include <optional>

class IniFile;

// The [RECTIFICATIVA] section of an import file or draft: what makes the
// invoice a corrective one. Written only for a corrective invoice.
namespace CorrectionSection {

inline constexpr char Name[] = "RECTIFICATIVA";

// None when the file has no such section. A section whose dates do not read
// or whose codes are not ones throws AppError naming the key.
std::optional<Correction> read(const IniFile& ini);

} // namespace CorrectionSection
