#include "cli/BookCommand.h"
#include "cli/BookCommandKit.h"
#include "cli/CommandArguments.h"

#include "book/BookBackup.h"
#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "session/BookFiles.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli book backup [--home CARPETA] FICHERO\n"
    "Guarda en FICHERO una copia completa del libro de facturas, tal como está en un momento,\n"
    "aunque Orvane esté emitiendo facturas a la vez. Una copia anterior con ese nombre se\n"
    "sustituye solo cuando la nueva está entera. La copia se abre como un libro más\n"
    "(cópiela como Libro.db en otra carpeta y use --home) o con el programa sqlite3.\n";

} // namespace

int runBookBackup(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                  QTextStream& err) {
    BookCommandKit::Options options;
    options.home = toolDir;
    const int status = BookCommandKit::readArguments(
        arguments, Usage, BookCommandKit::Filters::None, out, err, options);
    if (status >= 0)
        return status;
    if (options.files.size() != 1)
        return usageError(err, Usage,
                          options.files.isEmpty()
                              ? QStringLiteral("Falta el fichero de la copia")
                              : QStringLiteral("Sobra: %1").arg(options.files.mid(1).join(u' ')));
    const QString target = options.files.first();
    try {
        const auto db = BookCommandKit::openBook(options.home, false);
        BookFiles::refuseProgramFile(*db, options.home, target);
        BookBackup::copyTo(*db, target);
        out << target << '\n';
        out.flush();
        return 0;
    } catch (const AppError& error) {
        return BookCommandKit::failed(err, error);
    }
}
