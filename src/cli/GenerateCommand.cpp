#include "cli/GenerateCommand.h"

#include "cli/CommandArguments.h"
#include "cli/EachFile.h"
#include "cli/FindingLines.h"
#include "cli/RecordSigning.h"

#include "book/BookDatabase.h"
#include "common/AppError.h"
#include "common/FileIdentity.h"
#include "common/PercentageText.h"
#include "ledger/EventLog.h"
#include "session/InvoiceSession.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli generate [--home CARPETA] [--withholding TIPO] [--strict] [--replace] "
    "[FIRMA] [-o SALIDA.xml] IMPORTACION.ini...\n"
    "  --home CARPETA       carpeta con Registro.Ini (por omisión, la del programa)\n"
    "  --withholding TIPO   tipo de retención I.R.P.F. en %, de 0 a 100, con coma o punto\n"
    "                       decimal (por omisión, el IRPF del fichero, o el habitual de\n"
    "                       Mis datos, o 0)\n"
    "  --strict             no escribe una factura en la que la comprobación encuentra errores\n"
    "  --replace            sustituye en el libro de facturas la factura de la misma serie y\n"
    "                       número (la anterior queda en el historial)\n"
    "  -o SALIDA.xml        fichero de salida (solo con un fichero de importación)\n"
    "FIRMA, en el modo NO VERI*FACTU, donde cada registro de facturación se firma:\n"
    "  [--cert CERTIFICADO.p12] (por omisión, [FIRMA] CERTIFICADO de Registro.Ini) y\n"
    "  --password-file FICHERO o --password-fd N con la contraseña del certificado. Sin\n"
    "  un certificado que se abra con ella no se emite ninguna factura.\n"
    "Sin -o, cada factura se guarda junto a su fichero de importación con extensión .XML.\n"
    "Cada factura se comprueba como con «orvane-cli check»; lo que se encuentra sale por la\n"
    "salida de errores, un hallazgo por línea. Cada factura escrita queda emitida en el libro\n"
    "de facturas (Libro.db, en la carpeta de Registro.Ini) antes de guardar su fichero; sin\n"
    "número (FACTURA vacío) toma el siguiente de su serie.\n";

struct Options : EachFileOptions {
    QString withholding;  // empty: the file's IRPF, or the usual rate
    bool strict = false;  // a document with errors is not written
    bool replace = false; // an invoice of the same number in the book is replaced
    bool warnedNotKept = false;
    // Signing the records in the mode that does not send them.
    QString certificate;
    QString passwordFile;
    int passwordFd = -1;
    std::optional<RecordSigning> signing;
};

// From a fresh start, as the window would: the import takes the file's IRPF
// or the issuer's usual rate; a rate given here stands over both. The
// document is checked as the window checks it before saving.
QString generateOne(Options& options, const QString& input, QTextStream& err) {
    InvoiceSession session(options.home);
    session.issuing().replace = [&](const BookEntry& held) {
        if (!options.replace)
            throw AppError(
                InvoiceIssuing::heldText(held) +
                QStringLiteral(" No se ha escrito nada: para sustituirla, repita la "
                               "orden con --replace (la anterior queda en el historial)"));
        return true;
    };
    if (options.signing)
        session.issuing().ledger.signer = options.signing->signer();
    session.start();
    session.importChosenFile(input);
    if (!options.withholding.isEmpty())
        session.record().setText(RecordField::WithholdingRate, options.withholding);
    const QString target =
        options.output.isEmpty() ? session.saveTargetBesideImport() : options.output;
    const InvoiceSession::Generated generated =
        session.generateTo(target, [&](const CheckFindings& findings) {
            FindingLines::write(err, target, findings);
            err.flush();
            return !options.strict;
        });
    if (generated.status != InvoiceSession::GenerateStatus::Written)
        throw AppError(QStringLiteral("La factura tiene errores; con --strict no se escribe %1")
                           .arg(generated.path));
    // Once per run: each document of a batch meets the same book.
    if (!generated.notKept.isEmpty() && !options.warnedNotKept) {
        err << withFullStop(generated.notKept) << '\n';
        err.flush();
        options.warnedNotKept = true;
    }
    return generated.path;
}

// Documents of a batch that would replace one another or a file the batch is
// still to read (or has read): said before anything is written.
QStringList batchClashes(const Options& options) {
    const QStringList& inputs = options.inputs;
    QStringList outputs;
    for (const QString& input : inputs)
        outputs << (options.output.isEmpty() ? InvoiceSession::documentBesideImport(input)
                                             : options.output);
    QStringList clashes;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        for (qsizetype j = i + 1; j < inputs.size(); ++j) {
            if (FileIdentity::samePlace(outputs[i], outputs[j]))
                clashes << QStringLiteral("%1 y %2 escribirían la misma factura, %3")
                               .arg(inputs[i], inputs[j], outputs[i]);
        }
        for (qsizetype j = 0; j < inputs.size(); ++j) {
            if (j != i && FileIdentity::samePlace(outputs[i], inputs[j]))
                clashes << QStringLiteral("%1 escribiría su factura en %2, que es otro fichero de "
                                          "importación de esta orden")
                               .arg(inputs[i], inputs[j]);
        }
    }
    return clashes;
}

// A command runs for moments: the event log's summary is written when 6
// hours have passed since the last one. False when it was due and could not
// be written (the next command tries again).
bool writeSummaryIfDue(const Options& options, QTextStream& err) {
    if (!QFileInfo::exists(
            QDir(options.home).filePath(QString::fromLatin1(BookDatabase::FileName))))
        return true; // nothing issued, nothing to sum up
    try {
        const auto db = BookDatabase::open(options.home);
        options.signing->log(*db).appendSummaryIfDue();
        return true;
    } catch (const AppError& error) {
        err << QStringLiteral("No se ha podido anotar el resumen de eventos que toca cada 6 "
                              "horas: %1")
                   .arg(withFullStop(error.message()))
            << '\n';
        err.flush();
        return false;
    }
}

} // namespace

int runGenerate(const QStringList& arguments, const QString& toolDir, QTextStream& out,
                QTextStream& err) {
    Options options;
    options.home = toolDir;
    const int status = readEachFileArguments(
        arguments,
        {Usage, QStringLiteral("Falta el fichero de importación"),
         QStringLiteral("-o solo admite un fichero de importación")},
        out, err, options,
        [&](const QString& option, CommandArguments& args) -> std::optional<QString> {
            if (option == u"--strict") {
                options.strict = true;
                return QString();
            }
            if (option == u"--replace") {
                options.replace = true;
                return QString();
            }
            if (option == u"--cert" || option == u"--password-file" || option == u"--password-fd") {
                QString value;
                if (!args.takeValue(value))
                    return QStringLiteral("Falta el valor tras %1").arg(option);
                if (option == u"--cert") {
                    options.certificate = value;
                } else if (option == u"--password-file") {
                    options.passwordFile = value;
                } else {
                    bool ok = false;
                    options.passwordFd = value.toInt(&ok);
                    if (!ok || options.passwordFd < 0)
                        return QStringLiteral("Descriptor no válido: %1").arg(value);
                }
                return QString();
            }
            if (option != u"--withholding")
                return std::nullopt;
            if (!args.takeValue(options.withholding))
                return QStringLiteral("Falta el tipo tras --withholding");
            const auto rate = PercentageText::normalized(options.withholding);
            if (!rate)
                return QStringLiteral("El tipo de retención debe ser un número de 0 a 100 (con "
                                      "coma o punto decimal): %1")
                    .arg(options.withholding);
            options.withholding = *rate;
            return QString();
        });
    if (status >= 0)
        return status;
    if (const QStringList clashes = batchClashes(options); !clashes.isEmpty()) {
        for (const QString& clash : clashes)
            err << clash << ".\n";
        err << "No se ha escrito ninguna factura: dé a cada fichero de importación un nombre "
               "propio.\n";
        err.flush();
        return 2;
    }
    if (!options.passwordFile.isEmpty() && options.passwordFd >= 0)
        return usageError(err, Usage,
                          QStringLiteral("Use --password-file o --password-fd, no los dos"));
    try {
        if (RecordSigning::modeSigns(options.home) && options.passwordFile.isEmpty() &&
            options.passwordFd < 0)
            return usageError(err, Usage,
                              QStringLiteral("En el modo NO VERI*FACTU cada registro de "
                                             "facturación se firma: indique la contraseña del "
                                             "certificado con --password-file o --password-fd"));
        // Opened once for the whole batch, before anything is issued.
        options.signing = RecordSigning::open(options.home, options.certificate,
                                              options.passwordFile, options.passwordFd, err);
    } catch (const AppError& error) {
        err << withFullStop(error.message()) << '\n';
        err.flush();
        return 1;
    }
    const int written = writeEachFile(options.inputs, out, err, [&](const QString& input) {
        return generateOne(options, input, err);
    });
    if (options.signing && !writeSummaryIfDue(options, err))
        return 1;
    return written;
}
