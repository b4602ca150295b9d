#include "cli/GenerateCommand.h"

#include "common/AppError.h"
#include "common/PercentageText.h"
#include "session/InvoiceSession.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli generate [--home CARPETA] [--withholding TIPO] [-o SALIDA.xml] "
    "IMPORTACION.ini...\n"
    "  --home CARPETA       carpeta con Registro.Ini (por omisión, la del programa)\n"
    "  --withholding TIPO   tipo de retención I.R.P.F. en %, de 0 a 100, con coma o punto\n"
    "                       decimal (por omisión, el IRPF del fichero, o 0)\n"
    "  -o SALIDA.xml        fichero de salida (solo con un fichero de importación)\n"
    "Sin -o, cada factura se guarda junto a su fichero de importación con extensión .XML.\n";

struct Options {
    QString home;
    QString withholding; // empty: the file's IRPF, or 0
    QString output;
    QStringList inputs;
};

// From a fresh start, as the window would: the rate is chosen before the
// lines arrive, so every recalculation the import runs already uses it.
QString generateOne(const Options& options, const QString& input) {
    InvoiceSession session(options.home);
    session.start();
    // A rate given here stands over the IRPF a draft carries.
    const bool rateGiven = !options.withholding.isEmpty();
    session.record().setText(RecordField::WithholdingRate,
                             rateGiven ? options.withholding : QStringLiteral("0"));
    session.importChosenFile(input);
    if (rateGiven && session.record().text(RecordField::WithholdingRate) != options.withholding) {
        session.record().setText(RecordField::WithholdingRate, options.withholding);
        session.record().recalculateTotals();
    }
    return session.generateTo(options.output);
}

} // namespace

int runGenerate(const QStringList& arguments, const QString& toolDir, QTextStream& out,
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
        } else if (a == u"--withholding") {
            if (!value(options.withholding))
                return usage(QStringLiteral("Falta el tipo tras --withholding"));
            const auto rate = PercentageText::normalized(options.withholding);
            if (!rate)
                return usage(QStringLiteral("El tipo de retención debe ser un número de 0 a 100 "
                                            "(con coma o punto decimal): %1")
                                 .arg(options.withholding));
            options.withholding = *rate;
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
        return usage(QStringLiteral("Falta el fichero de importación"));
    if (!options.output.isEmpty() && options.inputs.size() > 1)
        return usage(QStringLiteral("-o solo admite un fichero de importación"));

    int status = 0;
    for (const QString& input : options.inputs) {
        try {
            out << generateOne(options, input) << '\n';
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
