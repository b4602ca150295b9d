#pragma once

#include "common/AppError.h"
#include "pdf/FacturaeDocument.h"

#include <QByteArray>
#include <QString>

// Reads a Facturae document (3.2, 3.2.1 or 3.2.2, signed or not, written by
// this program or any other) into the plain values a printed copy shows.
// Element names are matched by local name, so prefixes and namespaces do not
// matter. Throws AppError with a Spanish message when the bytes are not a
// Facturae document.
namespace FacturaeReader {

FacturaeDocument::Document read(const QByteArray& bytes);
FacturaeDocument::Document readFile(const QString& path);

// An error of read() for the file at path, with the file's name in front of
// "no es una factura Facturae" so the person knows which file it was.
AppError namedError(const QString& path, const AppError& error);

} // namespace FacturaeReader
