#include "cli/SignCommand.h"

#include "cli/CommandArguments.h"

#include "cli/PasswordInput.h"
#include "common/AppError.h"
#include "session/InvoiceSession.h"
#include "signing/SigningCertificate.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <optional>

namespace {

const char Usage[] =
    "Uso: orvane-cli sign --cert CERTIFICADO.p12 [--password-file FICHERO | --password-fd N] "
    "[-o SALIDA.xsig] [--home CARPETA] FACTURA.xml...\n"
    "  --cert CERTIFICADO.p12   certificado con su clave privada (.p12 o .pfx)\n"
    "  --password-file FICHERO  lee la contraseña de la primera línea del fichero\n"
    "  --password-fd N          lee la contraseña (una línea) del descriptor N\n"
    "  -o SALIDA.xsig           fichero firmado (solo con una factura)\n"
    "  --home CARPETA           carpeta con Registro.Ini y el libro de facturas (por omisión,\n"
    "                           la del programa)\n"
    "Sin --password-file ni --password-fd, la contraseña se lee de la entrada estándar.\n"
    "Sin -o, cada factura firmada se guarda junto a la original con extensión .XSIG.\n"
    "La firma es XAdES-EPES (RSA-SHA256) con la política de firma de Facturae 3.1.\n"
    "La copia firmada de una factura que está en el libro de facturas se guarda con ella.\n";

} // namespace

int runSign(const QStringList& arguments, const QString& toolDir, QTextStream& out,
            QTextStream& err) {
    auto usage = [&](const QString& problem) { return usageError(err, Usage, problem); };
    QString certificatePath, passwordFile, output, fdText, home = toolDir;
    CommandArguments args(arguments);
    QString a;
    while (args.nextOption(a)) {
        if (a == u"--cert") {
            if (!args.takeValue(certificatePath))
                return usage(QStringLiteral("Falta el certificado tras --cert"));
        } else if (a == u"--password-file") {
            if (!args.takeValue(passwordFile))
                return usage(QStringLiteral("Falta el fichero tras --password-file"));
        } else if (a == u"--password-fd") {
            if (!args.takeValue(fdText))
                return usage(QStringLiteral("Falta el descriptor tras --password-fd"));
        } else if (a == u"--password" || a.startsWith(QStringLiteral("--password="))) {
            return usage(QStringLiteral("La contraseña no se admite en la línea de órdenes: "
                                        "use --password-file, --password-fd o la entrada "
                                        "estándar"));
        } else if (a == u"-o") {
            if (!args.takeValue(output))
                return usage(QStringLiteral("Falta el fichero tras -o"));
        } else if (a == u"--home") {
            if (!args.takeValue(home))
                return usage(QStringLiteral("Falta la carpeta tras --home"));
        } else if (args.isHelp(a)) {
            return showHelp(out, Usage);
        } else {
            return usage(unknownOption(a));
        }
    }
    const QStringList& inputs = args.files();
    if (certificatePath.isEmpty())
        return usage(QStringLiteral("Falta el certificado (--cert)"));
    if (inputs.isEmpty())
        return usage(QStringLiteral("Falta la factura que firmar"));
    if (!output.isEmpty() && inputs.size() > 1)
        return usage(QStringLiteral("-o solo admite una factura"));
    if (!passwordFile.isEmpty() && !fdText.isEmpty())
        return usage(QStringLiteral("Use --password-file o --password-fd, no los dos"));
    int passwordFd = -1;
    if (!fdText.isEmpty()) {
        bool ok = false;
        passwordFd = fdText.toInt(&ok);
        if (!ok || passwordFd < 0)
            return usage(QStringLiteral("Descriptor no válido: %1").arg(fdText));
    }

    auto fail = [&](const QString& subject, const QString& message) {
        err << subject << ": " << withFullStop(message) << '\n';
        err.flush();
    };
    std::optional<SigningCertificate> certificate;
    try {
        QByteArray password = readPassword(passwordFile, passwordFd, err);
        // open() wipes the password whatever happens.
        certificate.emplace(InvoiceSession::openCertificate(certificatePath, password));
    } catch (const AppError& error) {
        fail(certificatePath, error.message());
        return 1;
    }

    // Besides each document the command reads these; no signed copy replaces
    // any of them.
    QStringList readFiles = inputs;
    if (!passwordFile.isEmpty())
        readFiles << passwordFile;
    InvoiceSession session(home);
    int status = 0;
    for (const QString& input : inputs) {
        try {
            // The check the window runs before signing, on the one reading of
            // the document: its errors and warnings as `check` writes them,
            // and no signature over errors.
            auto checked = [&](const CheckFindings& findings, const QString& mismatch) {
                for (const CheckFinding& finding : findings) {
                    if (finding.severity != CheckFinding::Severity::Info)
                        err << input << ": " << findingLine(finding) << '\n';
                }
                if (!mismatch.isEmpty())
                    err << input << ": Aviso: " << withFullStop(mismatch) << '\n';
                err.flush();
            };
            const DocumentSigning::SignResult result =
                session.signWithCertificate(input, *certificate, output, readFiles, checked);
            for (const SignatureFinding& finding : result.report.findings) {
                if (finding.severity == SignatureFinding::Severity::Warning)
                    err << input << ": Aviso: " << withFullStop(finding.message) << '\n';
            }
            err.flush();
            out << result.output << '\n';
        } catch (const AppError& error) {
            fail(input, error.message());
            status = 1;
        } catch (const std::exception& error) {
            fail(input, unexpectedError(error));
            status = 1;
        }
        out.flush();
    }
    return status;
}
