#include "cli/CheckCommand.h"
#include "cli/GenerateCommand.h"

#include <QCoreApplication>
#include <QTextStream>

#include <iterator>

namespace {

using CommandRunner = int (*)(const QStringList& arguments, const QString& toolDir,
                              QTextStream& out, QTextStream& err);

struct Command {
    const char* name;
    CommandRunner run;
    const char* summary;
};

// Each command receives its own name as the first argument.
const Command Commands[] = {
    {"generate", runGenerate, "escribe la factura Facturae de cada fichero de importación"},
    {"check", runCheck, "comprueba facturas Facturae: esquema, sumas, NIF, centros, IBAN y fechas"},
};

int usage(QTextStream& stream, int status) {
    stream << "Uso: orvane-cli ORDEN [opciones] FICHERO...\nÓrdenes:\n";
    for (const Command& command : Commands)
        stream << "  " << QString::fromLatin1(command.name).leftJustified(10) << ' '
               << QString::fromUtf8(command.summary) << '\n';
    stream << "«orvane-cli ORDEN --help» explica cada orden.\n";
    stream.flush();
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty())
        return usage(err, 2);
    if (arguments.first() == u"--help" || arguments.first() == u"-h")
        return usage(out, 0);
    for (const Command& command : Commands) {
        if (arguments.first() == QLatin1String(command.name))
            return command.run(arguments, QCoreApplication::applicationDirPath(), out, err);
    }
    err << "Orden desconocida: " << arguments.first() << '\n';
    return usage(err, 2);
}
