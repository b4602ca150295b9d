#include "cli/VerifyCommand.h"

#include "cli/CommandArguments.h"

#include "common/AppError.h"
#include "common/ValueForms.h"
#include "signing/DocumentSigning.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli verify [--trusted-ca CA.pem]... [--at FECHA] FACTURA.xsig...\n"
    "  --trusted-ca CA.pem   confía también en las autoridades de ese fichero PEM\n"
    "  --at FECHA            comprueba como si fuera esa fecha (dd/mm/aaaa, aaaa-mm-dd, al\n"
    "                        final del día) o ese momento (aaaa-mm-ddThh:mm:ss+hh:mm)\n"
    "Comprueba la firma XAdES de cada factura o registro de facturación: huellas y valor de "
    "la\nfirma, política (la de Facturae para facturas, la de la Administración General del "
    "Estado\npara registros de facturación y de evento), certificado firmante, su vigencia al "
    "firmar\ny su cadena hasta las autoridades de confianza del sistema. Escribe lo encontrado, "
    "una\nlínea por hallazgo.\n";

// A day counts to its last second, so that a signature made that day is not
// taken for one made in the future.
QDateTime verifyingTime(const QString& text) {
    if (const std::optional<QDate> day = ValueForms::parseDate(text))
        return QDateTime(*day, QTime(23, 59, 59));
    const QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
    return moment.isValid() && text.contains(u'T') ? moment : QDateTime();
}

} // namespace

int runVerify(const QStringList& arguments, const QString& toolDir, QTextStream& out,
              QTextStream& err) {
    Q_UNUSED(toolDir);
    auto usage = [&](const QString& problem) { return usageError(err, Usage, problem); };
    SignatureVerifier::Options options;
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        if (a == u"--trusted-ca") {
            QString file;
            if (!args.takeValue(file))
                return usage(QStringLiteral("Falta el fichero tras --trusted-ca"));
            // Ignoring it would make every chain look untrusted, or worse,
            // hide that the person's own authority was never read.
            if (const QString problem = SignatureVerifier::trustedCaProblem(file);
                !problem.isEmpty())
                return usage(withFullStop(problem));
            options.trustedCaFiles << file;
        } else if (a == u"--at") {
            QString when;
            if (!args.takeValue(when))
                return usage(QStringLiteral("Falta la fecha tras --at"));
            options.at = verifyingTime(when);
            if (!options.at.isValid())
                return usage(QStringLiteral("La fecha de --at, «%1», no es válida: escríbala "
                                            "dd/mm/aaaa, aaaa-mm-dd o aaaa-mm-ddThh:mm:ss+hh:mm")
                                 .arg(when));
        } else if (args.isHelp(a)) {
            return showHelp(out, Usage);
        } else {
            return usage(unknownOption(a));
        }
    }
    const QStringList& inputs = args.files();
    if (inputs.isEmpty())
        return usage(QStringLiteral("Falta la factura firmada que comprobar"));

    int status = 0;
    for (const QString& input : inputs) {
        const SignatureReport report = DocumentSigning::verifyFile(input, options);
        for (const SignatureFinding& finding : report.findings)
            out << input << ": " << findingLine(finding) << '\n';
        if (!report.valid())
            status = 1;
        out.flush();
    }
    return status;
}
