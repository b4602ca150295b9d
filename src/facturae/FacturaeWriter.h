#pragma once

#include <QByteArray>
#include <QString>

class InvoiceRecord;
class QIODevice;
struct Invoice;

namespace FacturaeWriter {

inline constexpr char SignatureNamespace[] = "http://www.w3.org/2000/09/xmldsig#";
inline constexpr char FacturaeNamespace[] = "http://www.facturae.es/Facturae/2014/v3.2.1/Facturae";
inline constexpr char Facturae322Namespace[] =
    "http://www.facturae.gob.es/formato/Versiones/Facturaev3_2_2.xml";

// Writes the whole document (frame, file header, parties, invoice) to device,
// in the invoice's Facturae version.
void write(const Invoice& invoice, QIODevice& device);
// The same of the invoice on screen, a line still being edited settled first.
void write(InvoiceRecord& record, QIODevice& device);

// Writes the document to path atomically: the old file stays whole and no
// partial document appears under path when anything fails. Throws AppError.
void save(const Invoice& invoice, const QString& path);
void save(InvoiceRecord& record, const QString& path);
// The same save of a document already written (the one its check read).
void save(const QByteArray& document, const QString& path);

} // namespace FacturaeWriter
