#include "common/BoundedFile.h"

#include "common/AppError.h"
#include "common/SystemReason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace BoundedFile {

namespace {

[[noreturn]] void refuse(const QString& what, const QString& name, const QString& reason) {
    throw AppError(QStringLiteral("No se puede leer %1 %2: %3")
                       .arg(what, QDir::toNativeSeparators(name), reason));
}

QString tooBig(qint64 maxBytes) {
    const QString limit = maxBytes >= 1024 * 1024
                              ? QStringLiteral("%1 MB").arg(maxBytes / (1024 * 1024))
                              : QStringLiteral("%1 KB").arg(maxBytes / 1024);
    return QStringLiteral("es demasiado grande (el máximo es de %1)").arg(limit);
}

QString notRegular() {
    return QStringLiteral("no es un fichero normal (es una tubería, un dispositivo o un socket)");
}

} // namespace

QByteArray read(QIODevice& device, const QString& name, qint64 maxBytes, const QString& what) {
    QByteArray bytes;
    if (!device.isSequential())
        bytes.reserve(qMin(device.size(), maxBytes) + 1);
    char chunk[64 * 1024];
    for (;;) {
        const qint64 got = device.read(chunk, sizeof chunk);
        if (got < 0)
            refuse(what, name, SystemReason::spanish(device.errorString()));
        if (got == 0)
            return bytes;
        if (bytes.size() + got > maxBytes)
            refuse(what, name, tooBig(maxBytes));
        bytes.append(chunk, got);
    }
}

QByteArray read(const QString& path, qint64 maxBytes, const QString& what) {
    // Judged before opening: opening a pipe waits for a writer, and opening
    // some devices already does something.
    const QFileInfo info(path);
    if (!info.exists())
        refuse(what, path, QStringLiteral("no existe"));
    if (info.isDir())
        refuse(what, path, QStringLiteral("es una carpeta, no un fichero"));
    if (!info.isFile())
        refuse(what, path, notRegular());
    if (info.size() > maxBytes)
        refuse(what, path, tooBig(maxBytes));

    QFile file;
#ifdef Q_OS_UNIX
    // Without waiting, and judged again once open: the path may have been
    // replaced by a pipe in between.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        refuse(what, path, SystemReason::ofErrno(errno));
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(fd);
        refuse(what, path, notRegular());
    }
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        refuse(what, path, SystemReason::spanish(file.errorString()));
    }
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        refuse(what, path, SystemReason::spanish(file.errorString()));
#endif
    return read(file, path, maxBytes, what);
}

QByteArray readDocument(const QString& path) {
    return read(path, MaxDocumentBytes);
}

} // namespace BoundedFile
