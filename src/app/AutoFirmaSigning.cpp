#include "app/AutoFirmaSigning.h"

#include "app/MainStatusBar.h"
#include "session/InvoiceSession.h"
#include "signing/AutoFirmaProcess.h"
#include "widgets/Prompts.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

AutoFirmaSigning::AutoFirmaSigning(QWidget* window, InvoiceSession& session, MainStatusBar& status,
                                   std::function<void()> editSettings)
    : QObject(window), m_window(window), m_session(session), m_status(status),
      m_editSettings(std::move(editSettings)), m_signer(new AutoFirmaProcess(this)) {
    connect(m_signer, &AutoFirmaProcess::finished, this, &AutoFirmaSigning::ended);
}

bool AutoFirmaSigning::settingsUsable() {
    const QString problem = m_session.signingSettingsProblem();
    if (problem.isEmpty())
        return true;
    if (Prompts::instance().confirm(
            m_window, AppTitle,
            withFullStop(problem) +
                QStringLiteral("\n\n¿Desea abrir la configuración de AutoFirma?")))
        m_editSettings();
    return false;
}

void AutoFirmaSigning::launch(const QString& path, const CheckFindings& findings) {
    const InvoiceSession::SigningJob job = m_session.prepareSigning(path, &findings);
    const QString error = m_signer->start(job.folder, job.program, job.arguments);
    if (!error.isEmpty()) {
        m_status.report(QStringLiteral("No se ha podido iniciar AutoFirma"));
        Prompts::instance().plain(m_window, AppTitle, error);
        return;
    }
    m_signingInput = path;
    m_signedOutput = job.output;
    setSigning(true);
    m_status.setBusy(true, QStringLiteral("Firmando… %1 (AutoFirma está abierto)")
                               .arg(QDir::toNativeSeparators(path)));
}

void AutoFirmaSigning::setSigning(bool on) {
    m_signing = on;
    if (on)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
    emit signingChanged(on);
}

void AutoFirmaSigning::ended() {
    if (!m_signing)
        return;
    setSigning(false);
    m_status.setBusy(false);
    // AutoFirma says nothing back: the signed file is the only sign of success.
    if (QFileInfo::exists(m_signedOutput)) {
        m_status.report(QStringLiteral("Factura firmada: %1").arg(m_signedOutput));
        if (const QString warning = m_session.keepSignedCopy(m_signingInput, m_signedOutput);
            !warning.isEmpty())
            Prompts::instance().warn(m_window, AppTitle, withFullStop(warning));
    } else
        m_status.report(
            QStringLiteral("AutoFirma ha terminado sin crear %1: la factura no se ha firmado")
                .arg(m_signedOutput));
}
