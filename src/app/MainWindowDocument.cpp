#include "app/uPrincipal.h"

// The main window's commands on the invoice's document: generate it, check
// it, sign it by the chosen route, check a signature, open the validation
// page.

#include "app/AutoFirmaSigning.h"
#include "app/FileDialogs.h"
#include "app/FindingsText.h"
#include "app/IssueFlow.h"
#include "app/MainStatusBar.h"
#include "app/SignatureFlow.h"
#include "invoice/UnsavedChanges.h"
#include "signing/ValidationPage.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Prompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

void TForm2::Button2Click() {
    runGuarded(this, [&] {
        const InvoiceSession::Generated generated = m_session.generate(
            [&] {
                return FileDialogs::save(this, appDir(), FileDialogs::Kind::Save, SaveFilter,
                                         QStringLiteral("XML"), proposedName(QStringLiteral("XML")),
                                         FileDialogs::Existing::CallerAsks);
            },
            [&](const QString& why) { Prompts::instance().warn(this, AppTitle, why); },
            [&](const CheckFindings& findings) {
                return SignatureFlow::reviewFindings(this, findings, true);
            },
            [&](const QString& document, const QString& signedCopy) {
                return mayReplaceDocument(document, signedCopy);
            });
        if (generated.status == InvoiceSession::GenerateStatus::MissingBankData) {
            Prompts::instance().warn(this, AppTitle, InvoiceSession::MissingBankDataMessage);
            return;
        }
        if (generated.status == InvoiceSession::GenerateStatus::KeptInBook) {
            m_changes->markSaved();
            m_status->report(QStringLiteral("Factura %1 emitida en el libro; su documento no se "
                                            "ha guardado")
                                 .arg(generated.kept->seriesNumber));
        }
        m_issueFlow->tell(m_session, generated);
        if (generated.status != InvoiceSession::GenerateStatus::Written)
            return;
        m_lastDocument = generated.path;
        m_changes->markSaved();
        m_status->report(
            QStringLiteral("Factura guardada en %1").arg(QDir::toNativeSeparators(generated.path)));
        if (generated.signNext)
            signByChosenRoute(generated.path, generated.findings);
    });
}

void TForm2::Button4Click() {
    runGuarded(this, [&] {
        // The document written last is what one usually signs next.
        const QString path = FileDialogs::open(this, appDir(), FileDialogs::Kind::Sign, OpenFilters,
                                               UnsignedFilter, m_lastDocument);
        if (path.isEmpty())
            return;
        const bool certificate =
            m_session.signingRoute().method == FirmaSettings::Method::Certificate;
        if (!certificate && !m_session.loadSigningSettings()) {
            if (Prompts::instance().confirm(
                    this, QStringLiteral("Factura Electrónica"),
                    QStringLiteral("¡¡¡ No se ha detectado AutoFirma !!!\n\n"
                                   "¿Desea indicar ahora dónde está AutoFirma "
                                   "(Configuración > Firma)?")))
                editSigningSettings();
            return;
        }
        // Settings are explained first; the document is checked before
        // AutoFirma starts or the password is asked.
        if (!certificate && !m_autoFirma->settingsUsable())
            return;
        const CheckFindings findings = SignatureFlow::checkDocumentFile(this, path);
        if (!SignatureFlow::reviewFindings(this, findings, false))
            return;
        if (certificate)
            SignatureFlow::signAndReport(this, m_session, path, *m_status);
        else
            m_autoFirma->launch(path, findings);
    });
}

// An earlier document is named before it is replaced; a signed copy of it
// stays as it is, and the person is told it no longer matches.
bool TForm2::mayReplaceDocument(const QString& document, const QString& signedCopy) {
    QString text = QStringLiteral("Ya existe la factura %1.\n\n¿Desea sustituirla por la "
                                  "factura de la pantalla?")
                       .arg(QDir::toNativeSeparators(document));
    if (!signedCopy.isEmpty())
        text += QStringLiteral("\n\nLa factura firmada %1 es de la factura anterior: no se cambia "
                               "ni se borra, y no corresponderá a la nueva hasta que la firme.")
                    .arg(QDir::toNativeSeparators(signedCopy));
    return Prompts::instance().confirm(this, AppTitle, text);
}

// After "Generar Factura": the session has said that signing comes next.
void TForm2::signByChosenRoute(const QString& path, const CheckFindings& findings) {
    if (m_session.signingRoute().method == FirmaSettings::Method::Certificate)
        SignatureFlow::signAndReport(this, m_session, path, *m_status);
    else if (m_autoFirma->settingsUsable())
        m_autoFirma->launch(path, findings);
}

// The check "Generar Factura" runs, at any moment: what the hub would refuse,
// each finding led by the field on screen.
void TForm2::checkInvoice() {
    runGuarded(this, [&] {
        const CheckFindings findings = m_session.checkInvoice();
        const QString list = FindingsText::list(findings);
        if (list.isEmpty()) {
            m_status->report(QStringLiteral("Factura comprobada: sin errores ni avisos"));
            Prompts::instance().inform(this, AppTitle,
                                       QStringLiteral("La factura no tiene errores ni avisos."));
            return;
        }
        const bool errors = hasErrors(findings);
        m_status->report(errors ? QStringLiteral("Factura comprobada: tiene errores")
                                : QStringLiteral("Factura comprobada: tiene avisos"));
        Prompts::instance().warnWithDetails(
            this, AppTitle,
            (errors ? QStringLiteral("La factura tiene errores:\n\n%1")
                    : QStringLiteral("Avisos de la comprobación de la factura:\n\n%1"))
                .arg(list),
            FindingsText::details(findings));
    });
}

void TForm2::ComprobarFirmaClick() {
    runGuarded(this, [&] { SignatureFlow::checkSignature(this, m_session); });
}

void TForm2::VALIDARClick() {
    runGuarded(this, [&] {
        const QString address = QString::fromLatin1(ValidationPageUrl);
        const QUrl url(address);
        const bool opened = m_urlOpener ? m_urlOpener(url) : QDesktopServices::openUrl(url);
        // A browser may take the address and show nothing, so it is always
        // shown to be copied as well.
        m_status->report(QStringLiteral("Página de validación: %1").arg(address));
        Prompts::instance().inform(
            this, AppTitle,
            opened ? QStringLiteral("Se ha pedido al navegador que abra la página de validación. "
                                    "Si no aparece, copie esta dirección en su navegador:\n\n%1")
                         .arg(address)
                   : QStringLiteral("No se ha podido abrir el navegador. Copie esta dirección en "
                                    "su navegador:\n\n%1")
                         .arg(address));
    });
}
