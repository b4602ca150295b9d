#pragma once

#include <QObject>
#include <QStringList>

class QProcess;

// AutoFirma started without waiting for it: the caller's event loop keeps
// running and finished() tells when AutoFirma has ended.
class AutoFirmaProcess : public QObject {
    Q_OBJECT
public:
    explicit AutoFirmaProcess(QObject* parent = nullptr);
    ~AutoFirmaProcess() override;

    // Starts folder/program in folder with the arguments, each one whole.
    // Returns the Spanish text (AutoFirmaLaunch::startFailure) when it cannot start, otherwise an
    // empty text; finished() follows when it ends. One at a time.
    QString start(const QString& folder, const QString& program, const QStringList& arguments);
    bool isRunning() const;

    // Waits, without a limit, for a started AutoFirma to end (for closing
    // down and for callers without an event loop).
    void waitForEnd();

signals:
    void finished();

private:
    QProcess* m_process = nullptr;
};
