#pragma once

#include <QObject>
#include <QString>

class InvoiceSession;
class MainStatusBar;
class QWidget;

// The window's side of working without sending each record (NO
// VERI*FACTU): every record and event is signed, so the certificate's
// password is asked once when the program starts and the opened certificate
// is kept, in memory only, until it quits. Without it nothing can be issued
// in the run, and the status bar says so.
class RecordRun : public QObject {
    Q_OBJECT
public:
    RecordRun(InvoiceSession& session, QWidget* window, MainStatusBar* status);

    // At start: in that mode, asks the password of [FIRMA] CERTIFICADO.
    void start();
    // At quit: the certificate is forgotten.
    void quit();

    // Asks the password when the mode signs and no certificate is open yet
    // (a mistyped one again, up to three times); true when one is open
    // afterwards. Cancel leaves the run without one.
    bool askPassword();

    // Whether the mode of the settings file signs records and events.
    bool modeSigns() const;

private:
    void showState();

    InvoiceSession& m_session;
    QWidget* m_window;
    MainStatusBar* m_status;
};
