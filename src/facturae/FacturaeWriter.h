#pragma once

#include <QString>

class InvoiceRecord;
class QIODevice;

namespace FacturaeWriter {

inline constexpr char SignatureNamespace[] = "http://www.w3.org/2000/09/xmldsig#";
inline constexpr char FacturaeNamespace[] = "http://www.facturae.es/Facturae/2014/v3.2.1/Facturae";

// The bank-entity box must be filled before a document is built.
inline const char* const MissingBankDataMessage =
    "\u00a1\u00a1\u00a1 Debes de cumplimentar los datos bancarios !!!";
bool hasBankEntity(const InvoiceRecord& record);

// Writes the whole document (frame, file header, parties, invoice) to device.
// A line still being edited is settled first.
void write(InvoiceRecord& record, QIODevice& device);

// Writes the document to path atomically: the old file stays whole and no
// partial document appears under path when anything fails. Throws AppError.
void save(InvoiceRecord& record, const QString& path);

// Where "Generar Factura" saves without asking: RutaDelFichero + NombreFichero
// + ".XML", or empty when both are empty and the save dialog must ask.
QString importSaveTarget(const InvoiceRecord& record);

} // namespace FacturaeWriter
