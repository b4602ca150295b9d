#include "cli/VerifyCommand.h"

#include "cli/CommandArguments.h"

#include "common/AppError.h"
#include "signing/DocumentSigning.h"

#include <QTextStream>

namespace {

const char Usage[] =
    "Uso: orvane-cli verify [--trusted-ca CA.pem]... FACTURA.xsig...\n"
    "  --trusted-ca CA.pem   confía también en las autoridades de ese fichero PEM\n"
    "Comprueba la firma XAdES de cada factura: huellas y valor de la firma, política de "
    "Facturae,\ncertificado firmante, su vigencia al firmar y su cadena hasta las "
    "autoridades de confianza\ndel sistema. Escribe lo encontrado, una línea por hallazgo.\n";

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
