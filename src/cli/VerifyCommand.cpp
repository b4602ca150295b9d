#include "cli/VerifyCommand.h"

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
    auto usage = [&](const QString& problem) {
        if (!problem.isEmpty())
            err << problem << '\n';
        err << Usage;
        err.flush();
        return 2;
    };
    SignatureVerifier::Options options;
    QStringList inputs;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (onlyFiles || !a.startsWith(u'-') || a == u"-") {
            inputs << a;
        } else if (a == u"--") {
            onlyFiles = true;
        } else if (a == u"--trusted-ca") {
            if (i + 1 >= arguments.size())
                return usage(QStringLiteral("Falta el fichero tras --trusted-ca"));
            options.trustedCaFiles << arguments[++i];
        } else if (a == u"-h" || a == u"--help") {
            out << Usage;
            out.flush();
            return 0;
        } else {
            return usage(QStringLiteral("Opción desconocida: %1").arg(a));
        }
    }
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
