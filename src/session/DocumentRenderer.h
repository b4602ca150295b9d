#pragma once

class InvoiceRecord;
class QString;

// Output that needs more than QtCore (a printed or PDF copy of the invoice).
// The window or the tool that can draw provides it; the session only holds it.
class DocumentRenderer {
public:
    virtual ~DocumentRenderer() = default;
    // Draws the invoice into path. Throws AppError when it cannot.
    virtual void render(const InvoiceRecord& record, const QString& path) = 0;
};
