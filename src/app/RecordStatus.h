#pragma once

#include <QWidget>

class QLabel;

// At the right of the status bar while billing records are made: the mode
// ("VERI*FACTU" or "NO VERI*FACTU") and, in red until the user resolves it,
// the integrity alarm.
class RecordStatus : public QWidget {
    Q_OBJECT
public:
    explicit RecordStatus(QWidget* parent = nullptr);

    // The mode's name; empty hides it. noCertificate: the mode signs and no
    // certificate is open in this run, so nothing can be issued.
    void setMode(const QString& mode, bool noCertificate = false);
    // The alarm's text; empty hides it.
    void setAlarm(const QString& text);

    QString mode() const;
    QString alarm() const;

private:
    QLabel* m_mode = nullptr;
    QLabel* m_alarm = nullptr;
};
