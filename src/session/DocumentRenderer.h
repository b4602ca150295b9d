#pragma once

class QByteArray;
class QString;

// Output that needs more than QtCore: the readable (PDF) copy of a Facturae
// document. The window or the tool that can draw provides it; the session
// only holds it. It works from the document itself, so the copy shows exactly
// what was written or signed.
class DocumentRenderer {
public:
    virtual ~DocumentRenderer() = default;
    // Draws the Facturae document into a PDF at path, atomically. Throws
    // AppError when the bytes are no Facturae document or path cannot be
    // written.
    virtual void render(const QByteArray& document, const QString& path) = 0;
};
