#include "book/BookBackup.h"

#include "book/BookDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>
#include <system_error>

#include <sqlite3.h>

namespace BookBackup {

namespace {

[[noreturn]] void refuse(const QString& target, const QString& reason) {
    throw BookError(BookError::Kind::NotKept,
                    QStringLiteral("No se puede guardar la copia del libro en «%1»: %2.")
                        .arg(QDir::toNativeSeparators(target), reason));
}

} // namespace

void copyTo(const BookDatabase& db, const QString& target) {
    if (db.holds(target))
        refuse(target, QStringLiteral("es el propio libro"));
    if (QFileInfo(target).isDir())
        refuse(target, QStringLiteral("es una carpeta"));

    // The copy is made under a temporary name beside the target and only
    // then takes its name, so a failed copy never replaces an older one.
    const QString temporary =
        target + QStringLiteral(".copia-%1")
                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    auto discard = [&] {
        for (const char* suffix : {"", "-journal"})
            QFile::remove(temporary + QLatin1String(suffix));
    };
    sqlite3* copy = nullptr;
    int code = sqlite3_open_v2(QFile::encodeName(temporary).constData(), &copy,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString reason;
    if (code == SQLITE_OK) {
        sqlite3_exec(copy, "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
        if (sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db.handle(), "main")) {
            // One step copies every page inside one read of the book: the
            // copy is the book as it stood at that moment.
            do {
                code = sqlite3_backup_step(backup, -1);
                if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
                    sqlite3_sleep(50);
            } while (code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_OK);
            sqlite3_backup_finish(backup);
            if (code == SQLITE_DONE)
                code = SQLITE_OK;
        } else {
            code = sqlite3_errcode(copy);
        }
    }
    if (code != SQLITE_OK)
        reason = QString::fromUtf8(copy ? sqlite3_errmsg(copy) : sqlite3_errstr(code));
    const int closed = sqlite3_close(copy);
    if (code == SQLITE_OK && closed != SQLITE_OK) {
        code = closed;
        reason = QString::fromUtf8(sqlite3_errstr(closed));
    }
    if (code != SQLITE_OK) {
        discard();
        if ((code & 0xff) == SQLITE_FULL)
            throw BookError(BookError::Kind::DiskFull,
                            QStringLiteral("No queda espacio en el disco para la copia del libro "
                                           "en «%1»: no se ha guardado. Libere espacio o elija "
                                           "otro lugar.")
                                .arg(QDir::toNativeSeparators(target)));
        refuse(target, reason);
    }
    std::error_code error;
    // Replaces an older copy of the same name in one step.
    std::filesystem::rename(std::filesystem::path(temporary.toStdU16String()),
                            std::filesystem::path(target.toStdU16String()), error);
    if (error) {
        discard();
        refuse(target, QString::fromLocal8Bit(error.message().c_str()));
    }
}

} // namespace BookBackup
