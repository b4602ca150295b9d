#pragma once

#include "book/BookError.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

struct sqlite3;

// The invoice book: one SQLite database, Libro.db, in the folder of
// Registro.Ini. Opening it never writes into a file that is not known to be
// an Orvane book of a version this program reads; a new book is made whole
// under another name and only then takes its place.
class BookDatabase {
public:
    static constexpr const char* FileName = "Libro.db";
    // PRAGMA application_id of every book ("ORVN"), so another program's
    // database is told apart from ours.
    static constexpr qint32 ApplicationId = 0x4F52564E;

    struct Options {
        // How long a change waits for another Orvane writing the same book.
        int busyTimeoutMs = 5000;
        // The time written into the book's history; the system's by default.
        std::function<QDateTime()> clock;
    };

    // Opens the book in folder, making it when there is none, and brings its
    // tables up to date. Throws BookError: NotKept when the folder or file
    // cannot be written, Damaged/Foreign/Newer when the file is unusable as
    // it stands (left exactly as it was), Busy, Failed.
    static std::unique_ptr<BookDatabase> open(const QString& folder, const Options& options);
    static std::unique_ptr<BookDatabase> open(const QString& folder) { return open(folder, {}); }
    // The same for a book that must exist already: looking into it never
    // makes one. BookError Missing when there is none.
    static std::unique_ptr<BookDatabase> openExisting(const QString& folder,
                                                      const Options& options);
    static std::unique_ptr<BookDatabase> openExisting(const QString& folder) {
        return openExisting(folder, {});
    }
    // The same, with null instead of BookError Missing: for those to whom no
    // book yet simply means nothing issued.
    static std::unique_ptr<BookDatabase> openIfPresent(const QString& folder,
                                                       const Options& options);
    static std::unique_ptr<BookDatabase> openIfPresent(const QString& folder) {
        return openIfPresent(folder, {});
    }

    // Moves an unusable book (and its companion files) aside, renamed with
    // the given time, so a new one can be made in its place; the new name.
    // Nothing is written into it. Throws BookError when it cannot be moved.
    static QString setAside(const QString& folder, const QDateTime& now);

    BookDatabase(const BookDatabase&) = delete;
    BookDatabase& operator=(const BookDatabase&) = delete;
    ~BookDatabase();

    QString path() const { return m_path; }
    // Whether path names this book or one of its companion files, after
    // links: a copy, export or saved document must never be written there.
    bool holds(const QString& path) const;
    int schemaVersion() const;
    QDateTime now() const;

    // The book's own data (e.g. the installation number): the stored value,
    // a null QString when the key has none.
    QString property(const QString& key) const;
    // Stores value under key unless the key already has one; the value kept.
    // Data made once per book stays the same whoever asks first.
    QString propertyOnce(const QString& key, const QString& value);

    // A write transaction taken at once (BEGIN IMMEDIATE), so two writers
    // queue up instead of failing half way. Rolled back unless committed.
    // Inside another transaction of the same book it joins that one.
    class Transaction {
    public:
        explicit Transaction(BookDatabase& db);
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        ~Transaction();
        void commit();

    private:
        BookDatabase& m_db;
        bool m_owner = false;
        bool m_done = false;
    };

    // The row id of the last row inserted through this connection.
    qint64 lastInsertId() const;

    // Runs statements that return nothing.
    void execute(const char* sql);

    sqlite3* handle() const { return m_handle; }
    // Throws the BookError for an SQLite result code, with this book's paths.
    [[noreturn]] void fail(int code) const;
    BookError error(int code, const QString& detail) const;

private:
    BookDatabase(const QString& path, sqlite3* handle, const Options& options);
    static void makeNew(const QString& folder, const QString& path);
    static void checkHeader(const QString& path);
    void checkContent();
    void migrate();

    QString m_path;
    sqlite3* m_handle;
    Options m_options;
};
