#include "app/SignatureFlow.h"

#include "app/FileDialogs.h"
#include "app/FindingsText.h"
#include "app/MainStatusBar.h"

#include "common/AppError.h"
#include "session/InvoiceSession.h"
#include "signing/SigningCertificate.h"
#include "widgets/BackgroundWork.h"
#include "widgets/Prompts.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

const QString Caption = QStringLiteral("Factura Electrónica");

} // namespace

const QString SignatureFlow::SignedFilter =
    QStringLiteral("Facturas Electrónicas firmadas (*.xsig *.XSIG *.Xsig);;Todos los archivos (*)");

QString SignatureFlow::signWithCertificate(QWidget* parent, InvoiceSession& session,
                                           const QString& document) {
    const FirmaSettings route = session.signingRoute();
    if (route.certificate.isEmpty()) {
        Prompts::instance().warn(parent, Caption,
                                 QStringLiteral("No se ha elegido el certificado para firmar. "
                                                "Indíquelo en la ventana Firma."));
        return {};
    }
    const std::optional<SigningCertificate> opened = openAsked(parent, route.certificate);
    if (!opened)
        return {};
    const SigningCertificate& certificate = *opened;
    // An expired certificate is told before anything else is asked.
    certificate.checkUsableAt(QDateTime::currentDateTime());
    const QString mismatch = session.issuerMismatch(document, certificate);
    if (!mismatch.isEmpty() &&
        !Prompts::instance().confirm(
            parent, Caption,
            withFullStop(mismatch) + QStringLiteral("\n¿Desea firmar la factura de todos modos?")))
        return {};
    DocumentSigning::SignResult result;
    BackgroundWork::run(parent, QStringLiteral("Firmando la factura…"),
                        [&] { result = session.signWithCertificate(document, certificate); });
    QString text = QStringLiteral("Factura firmada y comprobada.\nSe ha guardado en:\n%1")
                       .arg(QDir::toNativeSeparators(result.output));
    for (const SignatureFinding& finding : result.report.findings) {
        if (finding.severity == SignatureFinding::Severity::Warning)
            text += QStringLiteral("\n\nAviso: ") + withFullStop(finding.message);
    }
    Prompts::instance().inform(parent, Caption, text);
    return result.output;
}

std::optional<SigningCertificate> SignatureFlow::openAsked(QWidget* parent, const QString& path,
                                                           const QString& why) {
    const QString ask =
        (why.isEmpty() ? QString() : why + QStringLiteral("\n\n")) +
        QStringLiteral("Contraseña del certificado %1:").arg(QFileInfo(path).fileName());
    for (int attempt = 1;; ++attempt) {
        QByteArray password;
        // A mistyped password is asked again, within the same signing.
        const QString prompt =
            attempt == 1 ? ask
                         : QStringLiteral("La contraseña no es correcta (intento %1 de %2).\n\n%3")
                               .arg(attempt)
                               .arg(PasswordTries)
                               .arg(ask);
        if (!Prompts::instance().askPassword(parent, QStringLiteral("Firma"), prompt, password))
            return std::nullopt;
        try {
            return InvoiceSession::openCertificate(path, password);
        } catch (const WrongPasswordError&) {
            if (attempt == PasswordTries)
                throw;
        }
    }
}

void SignatureFlow::checkSignature(QWidget* parent, InvoiceSession& session) {
    const QString path = FileDialogs::open(
        parent, session.appDir(), FileDialogs::Kind::CheckSignature, SignedFilter, QString());
    if (path.isEmpty())
        return;
    SignatureReport report;
    BackgroundWork::run(parent, QStringLiteral("Comprobando la firma…"),
                        [&] { report = session.checkSignature(path); });
    if (report.valid())
        Prompts::instance().inform(parent, QStringLiteral("Comprobar firma"),
                                   findingsText(path, report));
    else
        Prompts::instance().warn(parent, QStringLiteral("Comprobar firma"),
                                 findingsText(path, report));
}

QString SignatureFlow::findingsText(const QString& path, const SignatureReport& report) {
    QString text = QDir::toNativeSeparators(path) + u'\n';
    text += report.valid() ? QStringLiteral("La firma es válida.")
                           : QStringLiteral("La firma NO es válida.");
    for (const SignatureFinding& finding : report.findings) {
        QString mark;
        switch (finding.severity) {
        case SignatureFinding::Severity::Error:
            mark = QStringLiteral("Error");
            break;
        case SignatureFinding::Severity::Warning:
            mark = QStringLiteral("Aviso");
            break;
        case SignatureFinding::Severity::Info:
            mark = QStringLiteral("Información");
            break;
        }
        text += QStringLiteral("\n\n%1: %2").arg(mark, withFullStop(finding.message));
    }
    return text;
}

void SignatureFlow::signAndReport(QWidget* parent, InvoiceSession& session, const QString& document,
                                  MainStatusBar& status) {
    QString output;
    try {
        output = signWithCertificate(parent, session, document);
    } catch (const AppError& e) {
        status.report(QStringLiteral("La factura no se ha firmado: %1").arg(e.message()));
        throw;
    }
    status.report(
        output.isEmpty()
            ? QStringLiteral("Firma cancelada: la factura no se ha firmado")
            : QStringLiteral("Factura firmada: %1").arg(QDir::toNativeSeparators(output)));
}

CheckFindings SignatureFlow::checkDocumentFile(QWidget* parent, const QString& path) {
    CheckFindings findings;
    BackgroundWork::run(parent, QStringLiteral("Comprobando la factura…"),
                        [&] { findings = InvoiceSession::checkDocumentFile(path); });
    return findings;
}

bool SignatureFlow::reviewFindings(QWidget* parent, const CheckFindings& findings,
                                   bool whileSaving) {
    const QString list = FindingsText::list(findings);
    if (list.isEmpty())
        return true;
    const QString details = FindingsText::details(findings);
    if (!hasErrors(findings)) {
        Prompts::instance().warnWithDetails(
            parent, AppTitle,
            QStringLiteral("Avisos de la comprobación de la factura:\n\n%1").arg(list), details);
        return true;
    }
    if (!whileSaving) {
        Prompts::instance().warnWithDetails(
            parent, AppTitle,
            QStringLiteral("La factura tiene errores y no se firmará:\n\n%1").arg(list), details);
        return false;
    }
    return Prompts::instance().confirmWithDetails(
        parent, AppTitle,
        QStringLiteral("La factura tiene errores:\n\n%1\n\n¿Guardarla de todos modos? No se "
                       "firmará mientras tenga errores.")
            .arg(list),
        details);
}
