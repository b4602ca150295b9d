#pragma once

class QByteArray;
class QString;
struct TaxQr;

// Output that needs more than QtCore: the readable (PDF) copy of a Facturae
// document. The window or the tool that can draw provides it; the session
// only holds it. It works from the document itself, so the copy shows exactly
// what was written or signed.
class DocumentRenderer {
public:
    virtual ~DocumentRenderer() = default;
    // Draws the Facturae document into a PDF at path, atomically, with qr
    // (empty: none given) as its tax QR. Throws AppError when the bytes are
    // no Facturae document, the QR cannot be made or path cannot be written.
    virtual void render(const QByteArray& document, const QString& path, const TaxQr& qr) = 0;
};
