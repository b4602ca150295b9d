#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

struct sqlite3_stmt;
class BookDatabase;

// One prepared statement of the book, finalized when it goes out of scope.
// Parameters are numbered from 1, result columns from 0, as SQLite counts
// them. A failure throws BookError.
class SqlStatement {
public:
    SqlStatement(const BookDatabase& db, const char* sql);
    SqlStatement(const BookDatabase& db, const QByteArray& sql)
        : SqlStatement(db, sql.constData()) {}
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;
    ~SqlStatement();

    SqlStatement& bind(int index, const QString& text); // a null QString binds ''
    SqlStatement& bindNull(int index);
    SqlStatement& bind(int index, qint64 value);
    SqlStatement& bind(int index, int value) { return bind(index, qint64(value)); }
    SqlStatement& bindBlob(int index, const QByteArray& bytes);

    // Binds the values to the parameters 1, 2, … in order.
    template <typename... Values> SqlStatement& bindAll(const Values&... values) {
        int index = 0;
        (bind(++index, values), ...);
        return *this;
    }

    // The next result row: false once there are no more.
    bool next();
    // Runs a statement that returns no rows.
    void run();
    // Back to before the first row, bindings kept.
    void reset();

    QString text(int column) const; // NULL reads as a null QString
    qint64 integer(int column) const;
    bool isNull(int column) const;
    QByteArray blob(int column) const;
    // The bytes without a copy, valid until the next call on the statement.
    QByteArrayView blobView(int column) const;

private:
    const BookDatabase& m_db;
    sqlite3_stmt* m_statement = nullptr;
};
