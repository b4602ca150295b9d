#include "cli/BookCommand.h"

#include <QTextStream>

namespace {

using Runner = int (*)(const QStringList&, const QString&, QTextStream&, QTextStream&);

struct Subcommand {
    const char* name;
    Runner run;
    const char* summary;
};

const Subcommand Subcommands[] = {
    {"list", runBookList, "lista las facturas del libro, con filtros, en texto, JSON o CSV"},
    {"show", runBookShow, "muestra una factura, o su documento guardado tal cual"},
    {"export", runBookExport, "escribe el libro registro de facturas expedidas en CSV"},
    {"import", runBookImport, "añade al libro facturas Facturae emitidas antes de tenerlo"},
    {"backup", runBookBackup, "guarda una copia completa del libro, también con Orvane abierto"},
    {"check", runBookCheck, "comprueba el libro: el fichero, cada documento y la numeración"},
    {"gaps", runBookGaps, "lista los números que faltan en cada serie"},
};

int usage(QTextStream& stream, int status) {
    stream << "Uso: orvane-cli book ORDEN [--home CARPETA] [opciones]\n"
              "El libro de facturas es Libro.db, en la carpeta de Registro.Ini (--home; por\n"
              "omisión, la del programa).\nÓrdenes:\n";
    for (const Subcommand& s : Subcommands)
        stream << "  " << QString::fromLatin1(s.name).leftJustified(8) << ' '
               << QString::fromUtf8(s.summary) << '\n';
    stream << "«orvane-cli book ORDEN --help» explica cada orden.\n";
    stream.flush();
    return status;
}

} // namespace

int runBook(const QStringList& arguments, const QString& toolDir, QTextStream& out,
            QTextStream& err) {
    const QStringList rest = arguments.mid(1);
    if (rest.isEmpty())
        return usage(err, 2);
    if (rest.first() == u"--help" || rest.first() == u"-h")
        return usage(out, 0);
    for (const Subcommand& s : Subcommands) {
        if (rest.first() == QLatin1String(s.name))
            return s.run(rest, toolDir, out, err);
    }
    err << "Orden del libro desconocida: " << rest.first() << '\n';
    return usage(err, 2);
}
