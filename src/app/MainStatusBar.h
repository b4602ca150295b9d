#pragma once

#include <QStatusBar>

class QLabel;
class QProgressBar;
class RecordStatus;

// The main window's status bar: what the last action did, with its path,
// and a busy indicator while another program works for the window. The text
// stays until the next action (hints of the menus pass over it and go).
class MainStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit MainStatusBar(QWidget* parent = nullptr);

    void report(const QString& text);
    QString text() const;

    // Shows text with a moving indicator until setBusy(false).
    void setBusy(bool busy, const QString& text = QString());

    // A standing notice at the right end, kept whatever the actions report;
    // empty hides it.
    void setNotice(const QString& text);
    QString notice() const;

    // The records' mode and integrity alarm, at the right end.
    RecordStatus* records() const { return m_records; }

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_busy = nullptr;
    QLabel* m_notice = nullptr;
    RecordStatus* m_records = nullptr;
};
