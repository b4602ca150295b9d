#include "cli/BookCommand.h"
#include "cli/BookCommandKit.h"
#include "cli/CommandArguments.h"

#include "book/BookDatabase.h"
#include "book/BookExport.h"
#include "common/AppError.h"
#include "session/BookFiles.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli book export [--home CARPETA] [--from FECHA] [--to FECHA] [--series SERIE]\n"
    "                            [--customer TEXTO] --csv FICHERO.csv\n"
    "Escribe el libro registro de facturas expedidas: una línea por factura y tipo de IVA\n"
    "(fecha de expedición, serie, número, NIF y nombre del destinatario, base imponible,\n"
    "tipo, cuota; retención y total solo en la primera línea de cada factura), separado por\n"
    "«;», con coma decimal, en UTF-8 con BOM para que las hojas de cálculo lo abran bien.\n"
    "  --from, --to FECHA   fechas de expedición desde y hasta (incluidas)\n"
    "  --series SERIE       solo esa serie\n"
    "  --customer TEXTO     el texto en el nombre o el NIF del cliente\n";

} // namespace

int runBookExport(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                  QTextStream& err) {
    BookCommandKit::Options options;
    options.home = toolDir;
    QString target;
    const int status = BookCommandKit::readArguments(
        arguments, Usage, BookCommandKit::Filters::Taken, out, err, options,
        [&](const QString& option, CommandArguments& args) -> std::optional<QString> {
            if (option != u"--csv")
                return std::nullopt;
            return args.takeValue(target) ? QString()
                                          : QStringLiteral("Falta el fichero tras --csv");
        });
    if (status >= 0)
        return status;
    if (!options.files.isEmpty())
        return usageError(err, Usage, QStringLiteral("Sobra: %1").arg(options.files.join(u' ')));
    if (target.isEmpty())
        return usageError(err, Usage, QStringLiteral("Falta --csv FICHERO.csv"));
    try {
        const auto db = BookCommandKit::openBook(options.home, false);
        BookFiles::refuseProgramFile(*db, options.home, target);
        BookExport::saveCsv(*db, options.filter, target);
        out << target << '\n';
        out.flush();
        return 0;
    } catch (const AppError& error) {
        return BookCommandKit::failed(err, error);
    }
}
