#include "common/SafeSave.h"

#include "common/SystemReason.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <unistd.h>
#endif

SafeSave::SafeSave(const QString& path) : m_file(path) {}

SafeSave::~SafeSave() {
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool SafeSave::fail(const QString& reason) {
    if (!m_failed)
        m_error = reason.isEmpty() ? QStringLiteral("error desconocido") : reason;
    m_failed = true;
    if (m_file.isOpen())
        m_file.cancelWriting();
    if (m_device.isOpen())
        m_device.close();
    return false;
}

bool SafeSave::open() {
    // Renaming over a pipe, a device or a socket would put a plain file in
    // its place; a folder cannot be replaced. A link is judged by its target.
    const QFileInfo target(m_file.fileName());
    if (target.exists() && target.isDir())
        return fail(QStringLiteral("es una carpeta, no un fichero"));
    if (target.exists() && !target.isFile())
        return fail(QStringLiteral("no es un fichero normal"));
    // Unbuffered: each write reaches the system at once, so the write that
    // meets a failure reports it, with the system's reason.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(SystemReason::spanish(m_file.errorString()));
    m_device.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

qint64 SafeSave::Device::writeData(const char* data, qint64 length) {
    if (m_owner.m_failed)
        return -1;
    qint64 done = 0;
    // A write the system cut short leaves no reason behind; writing the rest
    // either goes on or fails with the reason (no space, file too large).
    while (done < length) {
        const qint64 written = m_owner.m_file.write(data + done, length - done);
        if (written <= 0) {
            m_owner.fail(SystemReason::spanish(m_owner.m_file.errorString()));
            setErrorString(m_owner.m_error);
            return -1;
        }
        done += written;
    }
    return done;
}

bool SafeSave::commit() {
    if (m_failed)
        return false;
    if (!m_file.isOpen())
        return fail(SystemReason::spanish(m_file.errorString()));
    // A write that failed leaves its error on the file; the flush writes what
    // a buffer may still hold and is the one failure QSaveFile::commit()
    // ignores.
    if (m_file.error() != QFileDevice::NoError)
        return fail(SystemReason::spanish(m_file.errorString()));
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        return fail(SystemReason::spanish(m_file.errorString()));
#ifdef Q_OS_UNIX
    // Some file systems report a lack of space only when the data reaches the
    // disk. One that cannot sync says so with EINVAL; that is no fault.
    const int fd = m_file.handle();
    if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != ENOTSUP)
        return fail(SystemReason::ofErrno(errno));
#endif
    m_device.close();
    if (!m_file.commit())
        return fail(SystemReason::spanish(m_file.errorString()));
    return true;
}

bool SafeSave::write(const QString& path, const QByteArray& bytes, QString* errorString) {
    SafeSave save(path);
    const bool ok = save.open() && save.device().write(bytes) == bytes.size() && save.commit();
    if (!ok && errorString)
        *errorString = save.errorString();
    return ok;
}
