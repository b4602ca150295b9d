#pragma once

#include <QList>

// The tables of the book, as an ordered list of changes: change n takes a
// book from version n-1 to n. A change is only ever appended, never edited,
// so a book of any earlier version comes up to date step by step. The
// version is the database header's user_version (PRAGMA user_version).
namespace BookSchema {

struct Migration {
    int version;
    const char* sql;
};

const QList<Migration>& migrations();
int latestVersion();

} // namespace BookSchema
