#include "cli/PdfCommand.h"

#include "cli/CommandArguments.h"
#include "cli/EachFile.h"

#include "common/AppError.h"
#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"
#include "pdf/PdfRenderer.h"
#include "session/InvoiceSession.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli pdf [--home CARPETA] [-o SALIDA.pdf] FACTURA.xml|FACTURA.xsig...\n"
    "  --home CARPETA   carpeta con Registro.Ini, de donde se toma el logotipo\n"
    "                   (por omisión, la del programa)\n"
    "  -o SALIDA.pdf    fichero de salida (solo con una factura)\n"
    "Sin -o, cada copia se guarda junto a su factura con extensión .pdf.\n";

struct Options {
    QString home;
    QString output;
    QStringList inputs;
};

QString renderOne(const Options& options, const QString& input) {
    const QByteArray document = FacturaeReader::fileBytes(input);
    const QString target =
        options.output.isEmpty() ? InvoicePdf::defaultOutputPath(input) : options.output;
    if (QFileInfo(target).absoluteFilePath() == QFileInfo(input).absoluteFilePath())
        throw AppError(QStringLiteral("La copia PDF no puede sustituir a la propia factura"));
    InvoiceSession session(options.home);
    PdfRenderer renderer(options.home);
    session.setRenderer(&renderer);
    try {
        session.savePdf(document, target);
    } catch (const AppError& e) {
        throw FacturaeReader::namedError(input, e);
    }
    return target;
}

} // namespace

int runPdf(const QStringList& arguments, const QString& toolDir, QTextStream& out,
           QTextStream& err) {
    Options options;
    options.home = toolDir;
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        if (a == u"--home") {
            if (!args.takeValue(options.home))
                return usageError(err, Usage, QStringLiteral("Falta la carpeta tras --home"));
        } else if (a == u"-o") {
            if (!args.takeValue(options.output))
                return usageError(err, Usage, QStringLiteral("Falta el fichero tras -o"));
        } else if (args.isHelp(a)) {
            return showHelp(out, Usage);
        } else {
            return usageError(err, Usage, unknownOption(a));
        }
    }
    options.inputs = args.files();
    if (options.inputs.isEmpty())
        return usageError(err, Usage, QStringLiteral("Falta la factura"));
    if (!options.output.isEmpty() && options.inputs.size() > 1)
        return usageError(err, Usage, QStringLiteral("-o solo admite una factura"));
    return writeEachFile(options.inputs, out, err,
                         [&](const QString& input) { return renderOne(options, input); });
}
