#pragma once

// A view of a folder that cannot be written, whoever runs the tests: as root
// (who writes through any permission) a read-only bind mount, otherwise the
// folder and its files made read-only.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <unistd.h>

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& source) : m_source(source) {
        if (geteuid() != 0) {
            setWritable(false);
            m_path = source;
            return;
        }
        const QString target = source + QStringLiteral("-solo-lectura");
        QDir().mkpath(target);
        if (run({QStringLiteral("--bind"), source, target}) &&
            run({QStringLiteral("-o"), QStringLiteral("remount,ro,bind"), target}))
            m_path = target;
        else
            m_mountFailed = target;
    }
    ~ReadOnlyFolder() {
        if (geteuid() != 0) {
            setWritable(true);
            return;
        }
        const QString target = m_path.isEmpty() ? m_mountFailed : m_path;
        QProcess::execute(QStringLiteral("umount"), {target});
        QDir().rmdir(target);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Empty when no read-only view could be made (root without mounts).
    QString path() const { return m_path; }

private:
    static bool run(const QStringList& arguments) {
        return QProcess::execute(QStringLiteral("mount"), arguments) == 0;
    }
    void setWritable(bool writable) {
        const auto files = QDir(m_source).entryList(QDir::Files);
        for (const QString& name : files)
            QFile::setPermissions(QDir(m_source).filePath(name),
                                  writable ? QFile::ReadOwner | QFile::WriteOwner
                                           : QFile::ReadOwner);
        QFile::setPermissions(m_source, writable
                                            ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                            : QFile::ReadOwner | QFile::ExeOwner);
    }

    QString m_source;
    QString m_path;
    QString m_mountFailed;
};
