#pragma once

#include <QString>

// The files the invoice being prepared belongs to. The session keeps them as
// its operations read and write; the window only reads them.
struct InvoiceFiles {
    // The import file or draft read last; nothing the invoice writes replaces it.
    QString importedFrom;
    // Where "Guardar borrador" writes without asking: the draft kept last or
    // the file a person opened; empty asks (a fresh invoice, the fixed
    // import file, an invoice opened as new).
    QString draftPath;
    // The document written last, what one usually signs next.
    QString lastDocument;
    // The signed copy written last, or the one AutoFirma is writing.
    QString signedOutput;
};
