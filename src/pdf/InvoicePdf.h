#pragma once

#include "pdf/FacturaeDocument.h"
#include "session/TaxQr.h"

#include <QString>

class LogoImage;
class QIODevice;
class QPagedPaintDevice;

// The readable copy of a Facturae document as a PDF (A4, fonts embedded).
// Needs a QGuiApplication (the offscreen platform is enough).
// qr: the tax QR of an invoice this program issued, drawn on the first page
// with its legend; AppError when its address cannot be encoded. Without one
// (the default), an invoice shows the tax agency's address it carries, if any.
namespace InvoicePdf {

// Paints the whole copy on a paged device (a PDF writer, a printer): sets A4
// without margins and returns the number of pages.
int render(const FacturaeDocument::Document& document, QPagedPaintDevice& device,
           const LogoImage* logo, const TaxQr& qr = {});

// Writes the PDF to an open device. Throws AppError when painting fails.
void write(const FacturaeDocument::Document& document, QIODevice& device, const LogoImage* logo,
           const TaxQr& qr = {});

// Writes the PDF to path atomically: a failed save leaves no half-written
// file and any old file whole. Throws AppError naming the file and reason.
void save(const FacturaeDocument::Document& document, const QString& path, const LogoImage* logo,
          const TaxQr& qr = {});

// The document's path with its extension replaced by ".pdf" (the part after
// the last point of the file name; appended when there is none).
QString defaultOutputPath(const QString& documentPath);

// The issuer's logo from Registro.Ini in appDir ([MISDATOS] LOGO), used only
// when the document's seller has the tax id stored there. A relative path is
// taken from appDir. Empty when there is none to draw.
QString logoPathFor(const FacturaeDocument::Document& document, const QString& appDir);

} // namespace InvoicePdf
