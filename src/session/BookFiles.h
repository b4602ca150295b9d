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

// Why an output may not be written at path: it is the book itself (or one
// of its companion files) or one of the program's settings files in appDir,
// which it would destroy. The whole sentence, naming the file; empty when
// the path may be written.
QString outputProblem(const BookDatabase& db, const QString& appDir, const QString& path);
// The same as an AppError.
void refuseProgramFile(const BookDatabase& db, const QString& appDir, const QString& path);

// Saves the copy to path atomically, after refuseProgramFile; throws
// AppError with the system's reason when it cannot.
void save(BookDatabase& db, const QString& appDir, const BookEntry& entry, Copy copy,
          const QString& path);

} // namespace BookFiles
