#pragma once

#include "ledger/RecordSettings.h"
#include "records/GenerationTime.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class InvoiceSession;
class MainStatusBar;
class QThread;
class QTimer;
class QWidget;
class RunEvents;
struct IntegrityReport;

// The window's side of the billing records' mode. The status bar shows the
// mode and the integrity alarm, in red until it is resolved. Working without
// sending each record (NO VERI*FACTU), every record and event is signed, so
// the certificate's password is asked once when the program starts and the
// opened certificate is kept, in memory only, until it quits (without it
// nothing can be issued in the run, and the status bar says so); the book is
// checked at start beside the window, and a summary event is written every 6
// hours of running and when the program quits.
class RecordRun : public QObject {
    Q_OBJECT
public:
    RecordRun(InvoiceSession& session, QWidget* window, MainStatusBar* status);
    ~RecordRun() override;

    // The clock of the events and of the 6 hours; the system's by default.
    void setClock(GenerationTime::Clock clock);

    // At start: in that mode, asks the password of [FIRMA] CERTIFICADO, then
    // checks the book beside the window.
    void start();
    // At quit: the summary, then the certificate is forgotten.
    void quit();
    // Shows the mode and the alarm as the settings and the book now say.
    void refresh();

    // Asks the password when the mode signs and no certificate is open yet
    // (a mistyped one again, up to three times); true when one is open
    // afterwards. Cancel leaves the run without one.
    bool askPassword();

    // The settings page is about to save a change of mode: entering or
    // leaving the mode without sending is logged first, signed (the password
    // is asked if no certificate is open). False when the person cancelled;
    // AppError when it cannot be logged. Nothing to log for other changes.
    bool changeMode(RecordSettings::Mode from, RecordSettings::Mode to);

    // Whether the mode of the settings file signs records and events.
    bool modeSigns() const;
    // Whether the check of the book started at start is still running.
    bool checking() const { return m_check != nullptr; }

    // Writes the summary when 6 hours have passed; the window's timer asks
    // every minute.
    void summaryIfDue();

    // The events of the run, signed with the run's certificate.
    RunEvents& events() { return *m_events; }

signals:
    // The check of the book at start ended (its findings are shown).
    void checked();

private:
    // Asks the password of [FIRMA] CERTIFICADO and keeps the certificate.
    bool openCertificate();
    void showCertificateState();
    void checkInBackground();
    void checkEnded();

    InvoiceSession& m_session;
    QWidget* m_window;
    MainStatusBar* m_status;
    GenerationTime::Clock m_clock; // empty: the system's
    std::unique_ptr<RunEvents> m_events;
    QTimer* m_timer = nullptr;
    QThread* m_check = nullptr;
    struct CheckResult;
    std::shared_ptr<CheckResult> m_result;
};
