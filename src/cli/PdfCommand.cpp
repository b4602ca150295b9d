#include "cli/PdfCommand.h"

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
    auto usage = [&](const QString& problem) {
        if (!problem.isEmpty())
            err << problem << '\n';
        err << Usage;
        err.flush();
        return 2;
    };
    Options options;
    options.home = toolDir;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&](QString& into) {
            if (i + 1 >= arguments.size())
                return false;
            into = arguments[++i];
            return true;
        };
        if (onlyFiles || !a.startsWith(u'-') || a == u"-") {
            options.inputs << a;
        } else if (a == u"--") {
            onlyFiles = true;
        } else if (a == u"--home") {
            if (!value(options.home))
                return usage(QStringLiteral("Falta la carpeta tras --home"));
        } else if (a == u"-o") {
            if (!value(options.output))
                return usage(QStringLiteral("Falta el fichero tras -o"));
        } else if (a == u"-h" || a == u"--help") {
            out << Usage;
            out.flush();
            return 0;
        } else {
            return usage(QStringLiteral("Opción desconocida: %1").arg(a));
        }
    }
    if (options.inputs.isEmpty())
        return usage(QStringLiteral("Falta la factura"));
    if (!options.output.isEmpty() && options.inputs.size() > 1)
        return usage(QStringLiteral("-o solo admite una factura"));

    int status = 0;
    for (const QString& input : options.inputs) {
        try {
            out << renderOne(options, input) << '\n';
        } catch (const AppError& error) {
            err << input << ": " << withFullStop(error.message()) << '\n';
            status = 1;
        } catch (const std::exception& error) {
            err << input << ": " << QString::fromLocal8Bit(error.what()) << '\n';
            status = 1;
        }
        out.flush();
        err.flush();
    }
    return status;
}
