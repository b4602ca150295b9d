#include "cli/BookCommand.h"
#include "cli/CheckCommand.h"
#include "cli/DeclarationCommand.h"
#include "cli/GenerateCommand.h"
#include "cli/PdfCommand.h"
#include "cli/RecordsCommand.h"
#include "cli/SignCommand.h"
#include "cli/VerifyCommand.h"
#include "common/FileSizeSignal.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstring>
#include <iterator>
#include <memory>

namespace {

using CommandRunner = int (*)(const QStringList& arguments, const QString& toolDir,
                              QTextStream& out, QTextStream& err);

struct Command {
    const char* name;
    CommandRunner run;
    const char* summary;
    bool paints = false; // needs a QGuiApplication (offscreen: no display is used)
};

// Each command receives its own name as the first argument.
const Command Commands[] = {
    {"generate", runGenerate, "escribe la factura Facturae de cada fichero de importación"},
    {"sign", runSign, "firma cada factura con un certificado en fichero (.p12/.pfx)"},
    {"verify", runVerify, "comprueba la firma de cada factura firmada"},
    {"pdf", runPdf, "escribe la copia legible (PDF) de cada factura Facturae", true},
    {"check", runCheck, "comprueba facturas Facturae: esquema, sumas, NIF, centros, IBAN y fechas"},
    {"declaration", runDeclaration, "escribe en PDF la declaración responsable del programa", true},
    {"book", runBook, "el libro de facturas: listar, ver, exportar, añadir, copiar y comprobar"},
    {"records", runRecords, "lista, muestra, comprueba, exporta y anula registros de facturación"},
};

int usage(QTextStream& stream, int status) {
    stream << "Uso: orvane-cli ORDEN [opciones] FICHERO...\nÓrdenes:\n";
    for (const Command& command : Commands)
        stream << "  " << QString::fromLatin1(command.name).leftJustified(11) << ' '
               << QString::fromUtf8(command.summary) << '\n';
    stream << "«orvane-cli ORDEN --help» explica cada orden.\n";
    stream.flush();
    return status;
}

// Only the commands that paint get a GUI application, always on the offscreen
// platform, so the tool never needs a display.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    for (const Command& command : Commands) {
        if (command.paints && argc > 1 && std::strcmp(argv[1], command.name) == 0) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            // Without a desktop session Qt warns about its runtime folder on
            // every start; the tool's own messages do not go through Qt.
            if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
                QLoggingCategory::setFilterRules(QStringLiteral("default.warning=false"));
            return std::make_unique<QGuiApplication>(argc, argv);
        }
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int main(int argc, char** argv) {
    FileSizeSignal::ignore();
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
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
