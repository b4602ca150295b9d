#include "book/BookDatabase.h"

#include "book/BookSchema.h"
#include "book/SqlStatement.h"
#include "common/FileIdentity.h"

#include <QDir>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtEndian>
#include <cerrno>

// The book uses SQLite's own C interface rather than Qt SQL: it needs the
// online backup, exact control of transactions (BEGIN IMMEDIATE) and of
// waiting for another writer, and the command-line tool must not depend on
// QtSql.
#include <sqlite3.h>

namespace {

QString quoted(const QString& path) {
    return QStringLiteral("«%1»").arg(QDir::toNativeSeparators(path));
}

BookError notKeptError(const QString& where, const QString& reason) {
    return BookError(BookError::Kind::NotKept,
                     QStringLiteral("No se puede escribir el libro de facturas en %1 (%2): las "
                                    "facturas no se guardarán en el libro. Compruebe los permisos "
                                    "de la carpeta y del fichero.")
                         .arg(quoted(where), reason));
}

BookError damagedError(const QString& path, const QString& detail) {
    return BookError(BookError::Kind::Damaged,
                     QStringLiteral("El libro de facturas %1 está dañado (%2) y no se ha tocado. "
                                    "Guarde una copia de ese fichero y empiece un libro nuevo a su "
                                    "lado.")
                         .arg(quoted(path), detail));
}

[[noreturn]] void notKept(const QString& where, const QString& reason) {
    throw notKeptError(where, reason);
}

[[noreturn]] void damaged(const QString& path, const QString& detail) {
    throw damagedError(path, detail);
}

[[noreturn]] void foreign(const QString& path) {
    throw BookError(BookError::Kind::Foreign,
                    QStringLiteral("%1 no es un libro de facturas de Orvane (es la base de datos "
                                   "de otro programa) y no se ha tocado. Muévalo a otra carpeta o "
                                   "empiece un libro nuevo a su lado.")
                        .arg(quoted(path)));
}

[[noreturn]] void newer(const QString& path, int version) {
    throw BookError(BookError::Kind::Newer,
                    QStringLiteral("El libro de facturas %1 es de una versión más reciente de "
                                   "Orvane (formato %2; esta versión lee hasta el %3) y no se ha "
                                   "tocado. Actualice Orvane para usarlo.")
                        .arg(quoted(path))
                        .arg(version)
                        .arg(BookSchema::latestVersion()));
}

// Closes a connection that did not make it into a BookDatabase.
struct HandleGuard {
    sqlite3* handle = nullptr;
    ~HandleGuard() { sqlite3_close_v2(handle); }
    sqlite3* release() { return std::exchange(handle, nullptr); }
};

// Why a file could not be opened or made, in the user's words where the
// reason is a common one.
QString openFailure(sqlite3* handle, int code) {
    switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return QStringLiteral("no se puede abrir ni crear el fichero");
    default:
        return QStringLiteral("SQLite: ") +
               QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code));
    }
}

QString lastMessage(sqlite3* handle, int code) {
    return QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(code));
}

} // namespace

BookDatabase::BookDatabase(const QString& path, sqlite3* handle, const Options& options)
    : m_path(path), m_handle(handle), m_options(options) {}

BookDatabase::~BookDatabase() {
    sqlite3_close_v2(m_handle);
}

std::unique_ptr<BookDatabase> BookDatabase::open(const QString& folder, const Options& options) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(FileName));
    if (!QFileInfo(path).exists() && !QFileInfo(path).isSymLink())
        makeNew(folder, path);
    checkHeader(path);

    HandleGuard guard;
    // No SQLITE_OPEN_CREATE: a file that vanished since is not made here.
    const int code = sqlite3_open_v2(QFile::encodeName(path).constData(), &guard.handle,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK)
        notKept(path, openFailure(guard.handle, code));
    sqlite3_extended_result_codes(guard.handle, 1);
    if (sqlite3_db_readonly(guard.handle, "main") == 1)
        notKept(path, QStringLiteral("fichero de solo lectura"));
    sqlite3_busy_timeout(guard.handle, options.busyTimeoutMs);

    std::unique_ptr<BookDatabase> db(new BookDatabase(path, guard.release(), options));
    db->checkContent();
    // Only now, with the file known to be a book this program reads, does
    // anything get written.
    {
        SqlStatement journal(*db, "PRAGMA journal_mode = WAL");
        if (!journal.next() ||
            journal.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            notKept(path, QStringLiteral("no admite el modo WAL"));
    }
    // Reads go through a memory map and a larger cache: listing and checking
    // a book of a hundred thousand invoices reads it whole.
    db->execute("PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON; "
                "PRAGMA mmap_size = 1073741824; PRAGMA cache_size = -32768;");
    db->migrate();
    return db;
}

std::unique_ptr<BookDatabase> BookDatabase::openExisting(const QString& folder,
                                                         const Options& options) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(FileName));
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        throw BookError(BookError::Kind::Missing,
                        QStringLiteral("No hay libro de facturas en %1: se crea al emitir la "
                                       "primera factura, y las emitidas antes se añaden con "
                                       "«orvane-cli book import»")
                            .arg(quoted(path)));
    return open(folder, options);
}

std::unique_ptr<BookDatabase> BookDatabase::openIfPresent(const QString& folder,
                                                          const Options& options) {
    try {
        return openExisting(folder, options);
    } catch (const BookError& e) {
        if (e.kind() == BookError::Kind::Missing)
            return nullptr;
        throw;
    }
}

// A new book is made complete under a temporary name and then moved into
// place, so Libro.db is never a half-made or empty file: an empty one can
// only come from elsewhere and is refused.
void BookDatabase::makeNew(const QString& folder, const QString& path) {
    if (!QFileInfo(folder).isDir())
        notKept(folder, QStringLiteral("la carpeta no existe"));
    const QString temporary =
        path + QStringLiteral(".nuevo-%1")
                   .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    auto discard = [&] {
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(temporary + QLatin1String(suffix));
    };
    {
        HandleGuard guard;
        int code = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &guard.handle,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
        if (code == SQLITE_OK) {
            const QByteArray setup =
                QByteArray("PRAGMA synchronous = FULL; PRAGMA application_id = ") +
                QByteArray::number(ApplicationId) + ';';
            code = sqlite3_exec(guard.handle, setup.constData(), nullptr, nullptr, nullptr);
        }
        if (code == SQLITE_OK) {
            for (const auto& migration : BookSchema::migrations()) {
                const QByteArray step =
                    QByteArray("BEGIN; ") + migration.sql +
                    "; PRAGMA user_version = " + QByteArray::number(migration.version) +
                    "; COMMIT;";
                code = sqlite3_exec(guard.handle, step.constData(), nullptr, nullptr, nullptr);
                if (code != SQLITE_OK)
                    break;
            }
        }
        // Born in write-ahead mode, so two programs opening a new book at
        // once never race to switch it; the log is still empty here.
        if (code == SQLITE_OK)
            code =
                sqlite3_exec(guard.handle, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if (code == SQLITE_OK) {
            code = sqlite3_close(guard.handle);
            if (code == SQLITE_OK)
                guard.handle = nullptr;
        }
        if (code != SQLITE_OK) {
            const QString reason = openFailure(guard.handle, code);
            const int primary = code & 0xff;
            sqlite3_close_v2(guard.release());
            discard();
            if (primary == SQLITE_FULL)
                throw BookError(BookError::Kind::DiskFull,
                                QStringLiteral("No queda espacio en el disco para crear el libro "
                                               "de facturas en %1. Libere espacio e inténtelo de "
                                               "nuevo.")
                                    .arg(quoted(folder)));
            notKept(folder, reason);
        }
    }
    // Never over an existing file: another Orvane may have made the book
    // meanwhile, and then that one is used.
    if (!QFile::rename(temporary, path)) {
        const bool madeByOther = QFileInfo::exists(path);
        discard();
        if (!madeByOther)
            notKept(folder, QStringLiteral("no se pudo dar nombre al fichero nuevo"));
    }
}

// Reads the first bytes of the file itself, so that a file which is not a
// book, or a book cut short, is recognised before SQLite may write to it.
void BookDatabase::checkHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        notKept(path, file.errorString());
    const QByteArray header = file.read(100);
    if (header.size() == 0)
        damaged(path, QStringLiteral("el fichero está vacío"));
    if (header.size() < 100 || !header.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        damaged(path, QStringLiteral("no es una base de datos SQLite"));
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    const quint32 storedPageSize = qFromBigEndian<quint16>(bytes + 16);
    const qint64 pageSize = storedPageSize == 1 ? 65536 : storedPageSize;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        damaged(path, QStringLiteral("cabecera no válida"));
    if (qFromBigEndian<qint32>(bytes + 68) != ApplicationId)
        foreign(path);
    const int version = qFromBigEndian<qint32>(bytes + 60);
    if (version > BookSchema::latestVersion())
        newer(path, version);
    // The page count in the header holds when its change counter matches.
    // With a write-ahead log left by a stop the file may legitimately lag
    // behind it, so a cut is judged only without one.
    const quint32 pages = qFromBigEndian<quint32>(bytes + 28);
    const bool countValid =
        pages != 0 && qFromBigEndian<quint32>(bytes + 24) == qFromBigEndian<quint32>(bytes + 92);
    if (countValid && QFileInfo(path + QStringLiteral("-wal")).size() == 0 &&
        file.size() < qint64(pages) * pageSize)
        damaged(path, QStringLiteral("el fichero está cortado: mide %1 bytes de %2")
                          .arg(file.size())
                          .arg(qint64(pages) * pageSize));
}

// The header may be older than what a write-ahead log holds: the same
// questions again, through SQLite, before anything is written.
void BookDatabase::checkContent() {
    SqlStatement application(*this, "PRAGMA application_id");
    if (!application.next() || application.integer(0) != ApplicationId)
        foreign(m_path);
    const int version = schemaVersion();
    if (version > BookSchema::latestVersion())
        newer(m_path, version);
    SqlStatement tables(*this, "SELECT count(*) FROM sqlite_schema");
    tables.run();
}

void BookDatabase::migrate() {
    for (const auto& migration : BookSchema::migrations()) {
        if (migration.version <= schemaVersion())
            continue;
        Transaction transaction(*this);
        // Another Orvane may have brought the book up meanwhile.
        if (migration.version <= schemaVersion())
            continue;
        execute(migration.sql);
        execute(QByteArray("PRAGMA user_version = " + QByteArray::number(migration.version))
                    .constData());
        transaction.commit();
    }
}

QString BookDatabase::setAside(const QString& folder, const QDateTime& now) {
    const QString path = QDir(folder).filePath(QString::fromLatin1(FileName));
    const QString aside =
        QDir(folder).filePath(QStringLiteral("Libro-apartado-%1.db")
                                  .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    if (QFileInfo::exists(aside) || !QFile::rename(path, aside))
        notKept(path, QStringLiteral("no se pudo apartar el fichero"));
    for (const char* suffix : {"-wal", "-shm"}) {
        if (QFileInfo::exists(path + QLatin1String(suffix)))
            QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix));
    }
    return aside;
}

bool BookDatabase::holds(const QString& path) const {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (FileIdentity::sameFile(path, m_path + QLatin1String(suffix)))
            return true;
    }
    return false;
}

int BookDatabase::schemaVersion() const {
    SqlStatement version(*this, "PRAGMA user_version");
    return version.next() ? int(version.integer(0)) : 0;
}

QDateTime BookDatabase::now() const {
    const QDateTime now = m_options.clock ? m_options.clock() : QDateTime::currentDateTime();
    // As an offset from UTC, so the text stored says which hour it was: a
    // local time is written without one, and an hour repeats each autumn.
    return now.toOffsetFromUtc(now.offsetFromUtc());
}

QString BookDatabase::property(const QString& key) const {
    SqlStatement select(*this, "SELECT value FROM book WHERE key = ?");
    select.bindAll(key);
    return select.next() ? select.text(0) : QString();
}

QString BookDatabase::propertyOnce(const QString& key, const QString& value) {
    Transaction transaction(*this);
    SqlStatement insert(*this, "INSERT OR IGNORE INTO book (key, value) VALUES (?, ?)");
    insert.bindAll(key, value).run();
    const QString kept = property(key);
    transaction.commit();
    return kept;
}

qint64 BookDatabase::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_handle);
}

void BookDatabase::execute(const char* sql) {
    const int code = sqlite3_exec(m_handle, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        fail(code);
}

void BookDatabase::fail(int code) const {
    throw error(code, lastMessage(m_handle, code));
}

BookError BookDatabase::error(int code, const QString& detail) const {
    // A write that ran out of room can come back as an I/O error (a log or
    // journal write); the system's own reason tells.
    if ((code & 0xff) == SQLITE_IOERR) {
        const int reason = sqlite3_system_errno(m_handle);
        if (reason == ENOSPC
#ifdef EDQUOT
            || reason == EDQUOT
#endif
        )
            code = SQLITE_FULL;
    }
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return BookError(BookError::Kind::Busy,
                         QStringLiteral("Otro Orvane está usando el libro de facturas %1 y no lo "
                                        "ha soltado en %2 segundos: no se ha guardado nada. "
                                        "Inténtelo de nuevo cuando termine.")
                             .arg(quoted(m_path))
                             .arg((m_options.busyTimeoutMs + 999) / 1000));
    case SQLITE_FULL:
        return BookError(BookError::Kind::DiskFull,
                         QStringLiteral("No queda espacio en el disco para el libro de facturas "
                                        "%1: no se ha guardado nada y el libro sigue como estaba. "
                                        "Libere espacio e inténtelo de nuevo.")
                             .arg(quoted(m_path)));
    case SQLITE_READONLY:
        return notKeptError(m_path, QStringLiteral("solo lectura"));
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return notKeptError(m_path, QStringLiteral("no se puede abrir: ") + detail);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return damagedError(m_path, QStringLiteral("SQLite: ") + detail);
    default:
        return BookError(BookError::Kind::Failed,
                         QStringLiteral("El libro de facturas %1 no ha podido completar la "
                                        "operación (%2): no se ha guardado nada.")
                             .arg(quoted(m_path), detail));
    }
}

BookDatabase::Transaction::Transaction(BookDatabase& db) : m_db(db) {
    if (sqlite3_get_autocommit(db.handle()) == 0)
        return;
    db.execute("BEGIN IMMEDIATE");
    m_owner = true;
}

BookDatabase::Transaction::~Transaction() {
    if (m_owner && !m_done)
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void BookDatabase::Transaction::commit() {
    m_done = true;
    if (!m_owner)
        return;
    const int code = sqlite3_exec(m_db.handle(), "COMMIT", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) {
        const BookError failure = m_db.error(code, lastMessage(m_db.handle(), code));
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw failure;
    }
}
