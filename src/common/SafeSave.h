#pragma once

#include <QIODevice>
#include <QSaveFile>
#include <QString>

// Saves a file so that it ends either replaced whole by the new content or
// exactly as it was. The content goes to a temporary file beside the target;
// only when every write, the final flush and the sync to disk have succeeded
// does it take the target's place. A symbolic link is followed: its target
// is replaced and the link kept. A folder, pipe, device or socket is never
// replaced.
//
// QSaveFile alone is not enough: the last piece of its write buffer is
// written while committing, and a failure there (a full disk) went unnoticed,
// so a cut-off file replaced a whole one. Every save goes through this class.
class SafeSave {
public:
    explicit SafeSave(const QString& path);
    SafeSave(const SafeSave&) = delete;
    SafeSave& operator=(const SafeSave&) = delete;
    ~SafeSave(); // discards the temporary file unless committed

    // Opens the temporary file for writing; false when it cannot be created.
    bool open();
    // Where the content is written between open() and commit(). Write in
    // large blocks: every write goes straight to the system.
    QIODevice& device() { return m_device; }
    // Flushes, checks, syncs and moves the file into place. On false the
    // target is untouched and the temporary file is gone.
    bool commit();
    // The system's reason for the failure.
    QString errorString() const { return m_error; }

    // The whole save of bytes to path in one call.
    static bool write(const QString& path, const QByteArray& bytes, QString* errorString = nullptr);

private:
    // Passes writes on to the temporary file and keeps the first failure.
    class Device : public QIODevice {
    public:
        explicit Device(SafeSave& owner) : m_owner(owner) {}

    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char* data, qint64 length) override;

    private:
        SafeSave& m_owner;
    };

    bool fail(const QString& reason);

    QSaveFile m_file;
    Device m_device{*this};
    QString m_error;
    bool m_failed = false;
};
