#pragma once

#include <QString>

class BookDatabase;

// A copy of the whole book taken with SQLite's online backup: consistent at
// one moment even while another Orvane keeps issuing into it.
namespace BookBackup {

// Writes the copy to target, which ends either as the whole copy or as it
// was; never the book itself. Throws BookError (DiskFull, NotKept, Failed).
void copyTo(const BookDatabase& db, const QString& target);

} // namespace BookBackup
