#pragma once

#include "book/BookNumbering.h"

#include <QList>
#include <QString>

class BookDatabase;

// What the check of the book found.
struct BookFinding {
    enum class Kind {
        Integrity,  // the database file itself
        Document,   // stored bytes that no longer match their SHA-256
        Incomplete, // an invoice without its document or history
        Duplicate,  // two current invoices with one number
        Gap,        // numbers missing in a numbering: reported, not a fault
    };
    Kind kind;
    QString text; // Spanish, naming the invoice
};

struct BookCheckReport {
    qint64 invoices = 0;
    qint64 documents = 0;
    QList<BookFinding> findings;
    QList<NumberGap> gaps;
    QList<NumberDuplicate> duplicates;

    // No fault: gaps alone leave the book sound.
    bool sound() const;
};

// Checks the whole book: SQLite's integrity check and its foreign keys,
// every stored document against its SHA-256, every invoice complete, and
// the numbering (duplicates and gaps).
namespace BookCheck {

BookCheckReport run(const BookDatabase& db);

// A gap as the person reads it: "Faltan 3 números, del A-4 al A-6 (serie A)."
QString gapText(const NumberGap& gap);

} // namespace BookCheck
