#pragma once

#include "session/InvoiceSession.h"

class QWidget;

// The person's side of issuing into the invoice book from "Generar
// Factura": the question before an invoice of the book is replaced, the
// warning that the book cannot keep invoices (once a run), and the offer to
// save the book's copy when the document file could not be written. Every
// question goes through Prompts.
class IssueFlow {
public:
    explicit IssueFlow(QWidget* parent) : m_parent(parent) {}

    // The question asked before the book's invoice of the same number is
    // replaced.
    bool mayReplace(const BookEntry& held) const;

    // What the window says after generated: the warning that the book did
    // not keep it (the first time only), or, when the document could not be
    // written, the reason with the offer to save the book's copy elsewhere.
    void tell(InvoiceSession& session, const InvoiceSession::Generated& generated);

    static const QString ReplaceQuestion; // "¿Sustituirla? La anterior queda en el historial."

private:
    void offerCopy(InvoiceSession& session, const InvoiceSession::Generated& generated);

    QWidget* m_parent;
    bool m_warnedNotKept = false;
};
