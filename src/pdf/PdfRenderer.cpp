#include "pdf/PdfRenderer.h"

#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"
#include "pdf/LogoImage.h"

void PdfRenderer::render(const QByteArray& document, const QString& path, const TaxQr& qr) {
    const FacturaeDocument::Document doc = FacturaeReader::read(document);
    LogoImage logo;
    logo.load(InvoicePdf::logoPathFor(doc, m_appDir)); // a missing picture costs the logo only
    InvoicePdf::save(doc, path, &logo, qr);
}
