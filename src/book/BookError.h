#pragma once

#include "common/AppError.h"

// A failure of the invoice book. The kind lets the caller choose what to
// offer (go on without the book, make a new one beside a damaged one, try
// again later); the message is the Spanish text the user reads.
class BookError : public AppError {
public:
    enum class Kind {
        NotKept,  // the folder or file cannot be written: nothing will be kept
        Missing,  // there is no book yet (only when asked not to make one)
        Damaged,  // not a readable database (cut short, overwritten, corrupted)
        Foreign,  // a database of another program
        Newer,    // made by a later version of Orvane
        Busy,     // another Orvane held the book longer than we wait
        DiskFull, // no room left: the change was not made
        Failed,   // any other failure of the database or the disk
    };

    BookError(Kind kind, const QString& message) : AppError(message), m_kind(kind) {}
    Kind kind() const noexcept { return m_kind; }

    // Whether the file itself is unusable as it stands: the caller may make a
    // new book beside it or back it up, never write into it.
    bool fileUnusable() const noexcept {
        return m_kind == Kind::Damaged || m_kind == Kind::Foreign || m_kind == Kind::Newer;
    }

private:
    Kind m_kind;
};
