#pragma once

#include "common/Decimal.h"

#include <QByteArray>
#include <QString>

class InvoiceRecord;
struct Invoice;

// A draft is the invoice being prepared written as an import file, with the
// keys the import file lacks for what a person adds on screen: the
// withholding rate (DATOS_GENERALES IRPF) and, per line, the file reference
// (EXPEDIENTEn), its date (FECHAEXPEDIENTEn), the exemption tick (EXENTOn,
// for older readers) and the VAT treatment (CALIFICACIONn). Importing a draft
// gives back the same invoice.
namespace DraftFile {

// The whole draft of the invoice on screen. A line still being edited is
// settled first.
QString text(InvoiceRecord& record);

// The invoice as stored text (UTF-8) and back: the form the book keeps.
// read() gives back the invoice text() was given, except what no file holds
// (the reasons of Mis datos) and the parts a kind of person does not have;
// a text that is no invoice throws AppError naming the key.
QByteArray text(const Invoice& invoice);
Invoice read(const QByteArray& text);

// Writes the draft to path atomically; throws AppError when it cannot.
void save(InvoiceRecord& record, const QString& path);

// A number as the import reads it: decimal comma, no grouping, every digit
// needed to read back the same value.
QString numberText(const Decimal& value);

} // namespace DraftFile
