#pragma once

#include "book/BookRows.h"

class SqlStatement;

// The columns of a BookEntry, for every query that lists versions: select
// EntryColumns FROM invoices i …, then read each row with readEntry.
namespace BookEntryRead {

extern const char* const Columns;
// The state alone: the latest history kind of invoice i.
extern const char* const State;
// The latest billing record of invoice i: "kind|state", null without one.
extern const char* const Record;
BookEntry read(const SqlStatement& statement);

} // namespace BookEntryRead
