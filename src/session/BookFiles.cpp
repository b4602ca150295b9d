#include "session/BookFiles.h"

#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "common/SafeSave.h"
#include "settings/AppFiles.h"

#include <QDir>

namespace BookFiles {

QByteArray document(BookDatabase& db, const BookEntry& entry, Copy copy) {
    const InvoiceBook book(db);
    const QByteArray bytes =
        copy == Copy::Signed ? book.signedDocument(entry.id) : book.document(entry.id);
    if (bytes.isEmpty())
        throw AppError(copy == Copy::Signed
                           ? QStringLiteral("La factura %1 no tiene copia firmada en el libro")
                                 .arg(entry.seriesNumber)
                           : QStringLiteral("La factura %1 no tiene documento en el libro")
                                 .arg(entry.seriesNumber));
    return bytes;
}

QString outputProblem(const BookDatabase& db, const QString& appDir, const QString& path) {
    QString reason;
    if (db.holds(path))
        reason = QStringLiteral("es el propio libro de facturas");
    else if (const QString name = AppFiles::settingsFileAt(appDir, path); !name.isEmpty())
        reason = QStringLiteral("es %1, la configuración del programa").arg(name);
    if (reason.isEmpty())
        return {};
    return QStringLiteral("No se puede guardar en %1: %2. Elija otro nombre.")
        .arg(QDir::toNativeSeparators(path), reason);
}

void refuseProgramFile(const BookDatabase& db, const QString& appDir, const QString& path) {
    if (const QString problem = outputProblem(db, appDir, path); !problem.isEmpty())
        throw AppError(problem);
}

void save(BookDatabase& db, const QString& appDir, const BookEntry& entry, Copy copy,
          const QString& path) {
    refuseProgramFile(db, appDir, path);
    const QByteArray bytes = document(db, entry, copy);
    QString reason;
    if (!SafeSave::write(path, bytes, &reason))
        throw AppError(QStringLiteral("No se puede guardar la factura %1 en %2: %3")
                           .arg(entry.seriesNumber, QDir::toNativeSeparators(path), reason));
}

} // namespace BookFiles
