#include "cli/CheckCommand.h"

#include "cli/CommandArguments.h"
#include "cli/FindingLines.h"

#include "common/AppError.h"
#include "common/BoundedFile.h"
#include "facturae/DocumentCheck.h"
#include "session/InvoiceCorrection.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli check [--json] [--home CARPETA] FACTURA.xml|FACTURA.xsig...\n"
    "Comprueba cada factura Facturae (3.2, 3.2.1 o 3.2.2), la escriba quien la escriba: esquema,\n"
    "sumas, NIF, centros administrativos, IBAN y fechas. Escribe un hallazgo por línea\n"
    "(FICHERO: ERROR|WARNING|INFO CÓDIGO RUTA mensaje) y un resumen por fichero.\n"
    "  --json   los hallazgos como una lista JSON de objetos\n"
    "           {\"file\", \"code\", \"severity\", \"path\", \"message\"}\n"
    "  --home CARPETA  comprueba también que la factura que rectifica cada rectificativa\n"
    "           está en el libro de facturas de esa carpeta (un aviso si no está)\n"
    "Estado de salida: 0 sin errores, 1 alguna factura con errores, 2 uso incorrecto o\n"
    "fichero ilegible.\n";

QString plural(qsizetype n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

QString summary(const CheckFindings& findings) {
    qsizetype errors = 0, warnings = 0, notes = 0;
    for (const CheckFinding& f : findings) {
        switch (f.severity) {
        case CheckFinding::Severity::Error:
            ++errors;
            break;
        case CheckFinding::Severity::Warning:
            ++warnings;
            break;
        case CheckFinding::Severity::Info:
            ++notes;
            break;
        }
    }
    QString text = errors == 0 ? QStringLiteral("correcta") : QStringLiteral("con errores");
    text += QStringLiteral(" (%1, %2")
                .arg(plural(errors, "error", "errores"), plural(warnings, "aviso", "avisos"));
    if (notes > 0)
        text += QStringLiteral(", %1").arg(plural(notes, "nota", "notas"));
    return text + QLatin1Char(')');
}

// Reads and checks one file ("-": the standard input, which the person chose
// to pipe in); false (with the reason) when it cannot be read.
// home: the folder whose book a corrective's corrected invoice must be in;
// empty, not looked for.
bool checkFile(const QString& path, const QString& home, CheckFindings& findings,
               QString& problem) {
    try {
        QByteArray bytes;
        if (path == u"-") {
            QFile in;
            if (!in.open(stdin, QIODevice::ReadOnly))
                throw AppError(QStringLiteral("No se puede leer la entrada estándar"));
            bytes = BoundedFile::read(in, QStringLiteral("(entrada estándar)"),
                                      BoundedFile::MaxDocumentBytes);
        } else {
            bytes = BoundedFile::readDocument(path);
        }
        findings = DocumentCheck::run(bytes);
        if (!home.isEmpty())
            findings += InvoiceCorrection::checkAgainstBook(home, bytes);
        return true;
    } catch (const AppError& error) {
        problem = withFullStop(error.message());
        return false;
    }
}

} // namespace

int runCheck(const QStringList& arguments, const QString& /*toolDir*/, QTextStream& out,
             QTextStream& err) {
    auto usage = [&](const QString& problem) { return usageError(err, Usage, problem); };
    bool json = false;
    QString home;
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        if (a == u"--json") {
            json = true;
        } else if (a == u"--home") {
            if (!args.takeValue(home) || home.isEmpty())
                return usage(QStringLiteral("Falta la carpeta tras --home"));
        } else if (args.isHelp(a)) {
            return showHelp(out, Usage);
        } else {
            return usage(unknownOption(a));
        }
    }
    const QStringList& files = args.files();
    if (files.isEmpty())
        return usage(QStringLiteral("Falta la factura que comprobar"));

    bool unreadable = false;
    bool errors = false;
    QJsonArray all;
    for (const QString& path : files) {
        CheckFindings findings;
        QString problem;
        if (!checkFile(path, home, findings, problem)) {
            err << path << ": " << problem << '\n';
            err.flush();
            unreadable = true;
            continue;
        }
        errors = errors || hasErrors(findings);
        if (json) {
            for (const CheckFinding& f : findings)
                all.append(QJsonObject{{QStringLiteral("file"), path},
                                       {QStringLiteral("code"), f.code},
                                       {QStringLiteral("severity"), f.severityKey()},
                                       {QStringLiteral("path"), f.path},
                                       {QStringLiteral("message"), f.message}});
        } else {
            FindingLines::write(out, path, findings);
            out << path << ": " << summary(findings) << '\n';
        }
        out.flush();
    }
    if (json) {
        out << QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented));
        out.flush();
    }
    return unreadable ? 2 : errors ? 1 : 0;
}
