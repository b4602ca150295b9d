#pragma once

#include "facturae/CheckFinding.h"

#include <QObject>
#include <QString>
#include <functional>

class AutoFirmaProcess;
class InvoiceSession;
class MainStatusBar;
class QWidget;

// Signing with AutoFirma from the main window: AutoFirma runs on its own,
// the window keeps answering and shows that it waits; only one signing at a
// time. When AutoFirma ends, the signed file it was to write is the only sign
// of success.
class AutoFirmaSigning : public QObject {
    Q_OBJECT
public:
    // editSettings opens "Configuración > Firma".
    AutoFirmaSigning(QWidget* window, InvoiceSession& session, MainStatusBar& status,
                     std::function<void()> editSettings);

    // Settings the window does not offer are explained, with the way to
    // change them; false then.
    bool settingsUsable();
    // Starts AutoFirma on a document whose check found findings and no error.
    void launch(const QString& document, const CheckFindings& findings);
    bool isSigning() const { return m_signing; }

signals:
    // A signing started (true) or ended (false).
    void signingChanged(bool on);

private:
    void ended();
    void setSigning(bool on);

    QWidget* m_window;
    InvoiceSession& m_session;
    MainStatusBar& m_status;
    std::function<void()> m_editSettings;
    AutoFirmaProcess* m_signer;
    QString m_signingInput; // the document AutoFirma is signing
    QString m_signedOutput; // the signed file AutoFirma is writing
    bool m_signing = false;
};
