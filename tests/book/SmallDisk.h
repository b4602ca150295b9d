#pragma once

// A 4 MB tmpfs for tests of a full disk, mounted while the object lives (as
// root only), and a file that takes what room is left.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <unistd.h>

class SmallDisk {
public:
    // Mounted at folder (made if needed); path() is empty when it could not be.
    explicit SmallDisk(const QString& folder) {
        if (geteuid() != 0)
            return;
        QDir().mkpath(folder);
        if (QProcess::execute(QStringLiteral("mount"),
                              {"-t", "tmpfs", "-o", "size=4m", "tmpfs", folder}) == 0)
            m_path = folder;
    }
    ~SmallDisk() {
        if (!m_path.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {m_path});
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    QString path() const { return m_path; }

    // Everything left on the disk but a few hundred bytes, taken by filler.
    static bool fill(QFile& filler) {
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(64 * 1024, 'x');
        while (filler.write(block) > 0) {
        }
        filler.write(block.left(512));
        return true;
    }

private:
    QString m_path;
};
