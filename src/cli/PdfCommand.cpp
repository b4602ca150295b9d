#include "cli/PdfCommand.h"

#include "cli/EachFile.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "pdf/FacturaeReader.h"
#include "pdf/InvoicePdf.h"
#include "pdf/PdfRenderer.h"
#include "session/InvoiceSession.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli pdf [--home CARPETA] [-o SALIDA.pdf] FACTURA.xml|FACTURA.xsig...\n"
    "  --home CARPETA   carpeta con Registro.Ini, de donde se toma el logotipo\n"
    "                   (por omisión, la del programa)\n"
    "  -o SALIDA.pdf    fichero de salida (solo con una factura)\n"
    "Sin -o, cada copia se guarda junto a su factura con extensión .pdf.\n";

QString renderOne(const EachFileOptions& options, const QString& input) {
    const QString target =
        options.output.isEmpty() ? InvoicePdf::defaultOutputPath(input) : options.output;
    const QByteArray document = BoundedFile::readDocument(input);
    InvoiceSession session(options.home);
    PdfRenderer renderer(options.home);
    session.setRenderer(&renderer);
    try {
        // No document of the batch is replaced by a copy, whatever its name.
        session.savePdf(document, target, {}, options.inputs);
    } catch (const AppError& e) {
        throw FacturaeReader::namedError(input, e);
    }
    return target;
}

} // namespace

int runPdf(const QStringList& arguments, const QString& toolDir, QTextStream& out,
           QTextStream& err) {
    EachFileOptions options;
    options.home = toolDir;
    const int status = readEachFileArguments(
        arguments,
        {Usage, QStringLiteral("Falta la factura"), QStringLiteral("-o solo admite una factura")},
        out, err, options);
    if (status >= 0)
        return status;
    return writeEachFile(options.inputs, out, err,
                         [&](const QString& input) { return renderOne(options, input); });
}
