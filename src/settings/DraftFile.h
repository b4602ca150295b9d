#pragma once

#include "common/Decimal.h"

#include <QString>

class InvoiceRecord;

// A draft is the invoice being prepared written as an import file, with the
// keys the import file lacks for what a person adds on screen: the
// withholding rate (DATOS_GENERALES IRPF) and, per line, the file reference
// (EXPEDIENTEn), its date (FECHAEXPEDIENTEn) and the exemption tick
// (EXENTOn). Importing a draft gives back the same invoice.
namespace DraftFile {

// The whole draft as text. A line still being edited is settled first.
QString text(InvoiceRecord& record);

// Writes the draft to path atomically; throws AppError when it cannot.
void save(InvoiceRecord& record, const QString& path);

// A number as the import reads it: decimal comma, no grouping, every digit
// needed to read back the same value.
QString numberText(const Decimal& value);

} // namespace DraftFile
