#pragma once

#include "book/BookRows.h"

#include <QByteArray>
#include <QString>

class BookDatabase;

// Files written from the invoice book, by the window and by orvane-cli: an
// invoice's stored document saved as it was kept, and the rule every output
// of the book follows.
namespace BookFiles {

enum class Copy { Unsigned, Signed };

// The kept bytes of an invoice: the document written, or its latest signed
// copy. Throws AppError when the invoice has no such copy.
QByteArray document(BookDatabase& db, const BookEntry& entry, Copy copy);

// The name proposed for it: series-number with ".xml" or ".xsig"; characters
// a file name cannot hold ("2024/7") become "-".
QString proposedName(const BookEntry& entry, Copy copy);

// Refuses (AppError, naming the file) an output path that is the book itself
// or one of the program's settings files in appDir, which it would destroy.
void refuseProgramFile(const BookDatabase& db, const QString& appDir, const QString& path);

// Saves the copy to path atomically, after refuseProgramFile; throws
// AppError with the system's reason when it cannot.
void save(BookDatabase& db, const QString& appDir, const BookEntry& entry, Copy copy,
          const QString& path);

} // namespace BookFiles
