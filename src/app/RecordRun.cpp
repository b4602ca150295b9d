#include "app/RecordRun.h"

#include "app/MainStatusBar.h"
#include "app/SignatureFlow.h"
#include "common/AppError.h"
#include "ledger/RecordSettings.h"
#include "session/InvoiceSession.h"
#include "settings/AppFiles.h"
#include "settings/IniFile.h"
#include "signing/SigningCertificate.h"
#include "widgets/Prompts.h"

#include <QDateTime>

namespace {

const QString Caption = QStringLiteral("Registro de facturación");

} // namespace

RecordRun::RecordRun(InvoiceSession& session, QWidget* window, MainStatusBar* status)
    : QObject(window), m_session(session), m_window(window), m_status(status) {}

bool RecordRun::modeSigns() const {
    try {
        return RecordSettings::read(IniFile(AppFiles::registroIni(m_session.appDir()))).mode ==
               RecordSettings::Mode::NoVerifactu;
    } catch (const AppError&) {
        return false; // a value the program does not know: the status bar's notice says it
    }
}

void RecordRun::start() {
    if (modeSigns())
        askPassword();
}

void RecordRun::quit() {
    m_session.credentials().clear();
}

bool RecordRun::askPassword() {
    RunCredentials& credentials = m_session.credentials();
    if (!modeSigns() || credentials.isOpen())
        return credentials.isOpen();
    const QString path = RunCredentials::certificateFile(m_session.appDir());
    try {
        if (path.isEmpty())
            throw AppError(QStringLiteral("En el modo NO VERI*FACTU cada registro y cada evento "
                                          "se firma con el certificado de Configuración > Firma, "
                                          "y no hay ninguno elegido: elíjalo allí"));
        std::optional<SigningCertificate> opened = SignatureFlow::openAsked(
            m_window, path,
            QStringLiteral("Orvane trabaja sin envío (NO VERI*FACTU): cada registro de "
                           "facturación y cada evento se firma con su certificado. Escriba su "
                           "contraseña una vez para esta sesión; Orvane la olvida al cerrarse."));
        if (opened) {
            // An expired certificate would refuse every signature of the run.
            opened->checkUsableAt(QDateTime::currentDateTime());
            credentials.keep(std::move(*opened));
        } else {
            credentials.decline();
        }
    } catch (const AppError& e) {
        credentials.decline();
        Prompts::instance().warn(m_window, Caption,
                                 withFullStop(e.message()) +
                                     QStringLiteral("\nEn esta sesión no se puede emitir ninguna "
                                                    "factura."));
    }
    showState();
    return credentials.isOpen();
}

void RecordRun::showState() {
    if (m_session.credentials().isOpen())
        m_status->report(QStringLiteral("NO VERI*FACTU: certificado abierto para esta sesión; "
                                        "los registros y eventos se firman con él"));
    else
        m_status->report(QStringLiteral("NO VERI*FACTU: sin la contraseña del certificado no se "
                                        "puede emitir ninguna factura en esta sesión"));
}
