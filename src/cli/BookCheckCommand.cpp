#include "cli/BookCommand.h"
#include "cli/BookCommandKit.h"
#include "cli/CommandArguments.h"

#include "book/BookCheck.h"
#include "book/BookDatabase.h"
#include "common/AppError.h"

#include <QDir>
#include <QTextStream>

namespace {

const char CheckUsage[] =
    "Uso: orvane-cli book check [--home CARPETA]\n"
    "Comprueba el libro de facturas: la integridad del fichero (PRAGMA integrity_check), que\n"
    "cada documento guardado conserve su huella SHA-256, que cada factura tenga su documento\n"
    "y su historial, y la numeración: números repetidos (error) y números que faltan (aviso).\n"
    "Escribe un hallazgo por línea (ERROR|WARNING mensaje) y un resumen.\n"
    "Estado de salida: 0 sin errores (los huecos no lo son), 1 con errores o libro ilegible,\n"
    "2 uso incorrecto.\n";

const char GapsUsage[] =
    "Uso: orvane-cli book gaps [--home CARPETA]\n"
    "Lista los números que faltan en cada serie del libro, uno por línea. Los números se\n"
    "cuentan por sus cifras finales, solo entre los que comparten el texto de delante.\n";

QString plural(qint64 n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

// The subcommand's arguments: --home and --help only.
int readHome(const QStringList& arguments, const char* usage, const QString& toolDir,
             QTextStream& out, QTextStream& err, QString& home) {
    BookCommandKit::Options options;
    options.home = toolDir;
    const int status = BookCommandKit::readArguments(
        arguments, usage, BookCommandKit::Filters::None, out, err, options);
    if (status < 0 && !options.files.isEmpty())
        return usageError(err, usage, QStringLiteral("Sobra: %1").arg(options.files.join(u' ')));
    home = options.home;
    return status;
}

} // namespace

int runBookCheck(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                 QTextStream& err) {
    QString home;
    if (const int status = readHome(arguments, CheckUsage, toolDir, out, err, home); status >= 0)
        return status;
    try {
        const auto db = BookCommandKit::openBook(home, false);
        const BookCheckReport report = BookCheck::run(*db);
        qsizetype errors = 0;
        for (const BookFinding& f : report.findings) {
            const bool gap = f.kind == BookFinding::Kind::Gap;
            errors += gap ? 0 : 1;
            out << (gap ? "WARNING " : "ERROR ") << f.text << '\n';
        }
        out << QDir::toNativeSeparators(db->path()) << ": "
            << (report.sound() ? QStringLiteral("correcto") : QStringLiteral("con errores")) << " ("
            << plural(errors, "error", "errores") << ", "
            << plural(report.gaps.size(), "hueco en la numeración", "huecos en la numeración")
            << "; " << plural(report.invoices, "factura", "facturas") << ", "
            << plural(report.documents, "documento", "documentos") << ")\n";
        out.flush();
        return report.sound() ? 0 : 1;
    } catch (const AppError& error) {
        out.flush();
        return BookCommandKit::failed(err, error);
    }
}

int runBookGaps(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err) {
    QString home;
    if (const int status = readHome(arguments, GapsUsage, toolDir, out, err, home); status >= 0)
        return status;
    try {
        const auto db = BookCommandKit::openBook(home, false);
        const QList<NumberGap> gaps = BookNumbering(*db).gaps();
        for (const NumberGap& gap : gaps)
            out << BookCheck::gapText(gap) << '\n';
        if (gaps.isEmpty())
            out << "No falta ningún número en las series del libro.\n";
        out.flush();
        return 0;
    } catch (const AppError& error) {
        out.flush();
        return BookCommandKit::failed(err, error);
    }
}
