#include "book/SqlStatement.h"

#include "book/BookDatabase.h"

#include <sqlite3.h>

SqlStatement::SqlStatement(const BookDatabase& db, const char* sql) : m_db(db) {
    const int code = sqlite3_prepare_v2(db.handle(), sql, -1, &m_statement, nullptr);
    if (code != SQLITE_OK)
        db.fail(code);
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(m_statement);
}

SqlStatement& SqlStatement::bind(int index, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const int code = sqlite3_bind_text(m_statement, index, utf8.isNull() ? "" : utf8.constData(),
                                       int(utf8.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK)
        m_db.fail(code);
    return *this;
}

SqlStatement& SqlStatement::bindNull(int index) {
    const int code = sqlite3_bind_null(m_statement, index);
    if (code != SQLITE_OK)
        m_db.fail(code);
    return *this;
}

SqlStatement& SqlStatement::bind(int index, qint64 value) {
    const int code = sqlite3_bind_int64(m_statement, index, value);
    if (code != SQLITE_OK)
        m_db.fail(code);
    return *this;
}

SqlStatement& SqlStatement::bindBlob(int index, const QByteArray& bytes) {
    // An empty blob must still be a blob, not NULL: its pointer is never null.
    const int code =
        sqlite3_bind_blob64(m_statement, index, bytes.isEmpty() ? "" : bytes.constData(),
                            sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK)
        m_db.fail(code);
    return *this;
}

bool SqlStatement::next() {
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    // Keeps the statement usable after a failure the caller recovers from.
    sqlite3_reset(m_statement);
    m_db.fail(code);
}

void SqlStatement::run() {
    while (next()) {
    }
}

void SqlStatement::reset() {
    sqlite3_reset(m_statement);
}

QString SqlStatement::text(int column) const {
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
        return {};
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_statement, column));
}

qint64 SqlStatement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

bool SqlStatement::isNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QByteArray SqlStatement::blob(int column) const {
    return blobView(column).toByteArray();
}

QByteArrayView SqlStatement::blobView(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
    return QByteArrayView(data, sqlite3_column_bytes(m_statement, column));
}
