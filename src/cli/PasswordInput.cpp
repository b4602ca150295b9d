#include "cli/PasswordInput.h"

#include "cli/TerminalEcho.h"
#include "common/AppError.h"
#include "common/SystemReason.h"
#include "signing/SigningCertificate.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

// Reads one line into a buffer reserved once, so the password is never copied
// into memory that could not be wiped. A read that fails (a descriptor that is
// not open) is told as such: taken for an empty password, it would be called
// a wrong one. source names where it was read from.
QByteArray readLine(QFile& device, const QString& source) {
    QByteArray line;
    line.reserve(4096);
    char c = 0;
    qint64 got = 0;
    while (line.size() < 4095 && (got = device.read(&c, 1)) == 1 && c != '\n')
        line.append(c);
    c = 0;
    if (got < 0) {
        wipeSecret(line);
        throw AppError(QStringLiteral("No se puede leer la contraseña %1: %2")
                           .arg(source, SystemReason::spanish(device.errorString())));
    }
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

QByteArray readPassword(const QString& passwordFile, int passwordFd, QTextStream& err) {
    QFile device;
    if (!passwordFile.isEmpty()) {
        device.setFileName(passwordFile);
        if (!device.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            throw AppError(QStringLiteral("No se puede leer el fichero de la contraseña %1: %2")
                               .arg(QDir::toNativeSeparators(passwordFile),
                                    SystemReason::spanish(device.errorString())));
        return readLine(
            device, QStringLiteral("del fichero %1").arg(QDir::toNativeSeparators(passwordFile)));
    }
    const int fd = passwordFd >= 0 ? passwordFd : 0;
    const QString source = passwordFd >= 0 ? QStringLiteral("del descriptor %1").arg(fd)
                                           : QStringLiteral("de la entrada estándar");
    if (!device.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        throw AppError(QStringLiteral("No se puede leer la contraseña %1: %2")
                           .arg(source, SystemReason::spanish(device.errorString())));
    if (passwordFd < 0 && TerminalEcho::inputIsTerminal()) {
        err << "Contraseña del certificado: ";
        err.flush();
        TerminalEcho hidden;
        QByteArray password = readLine(device, source);
        err << '\n';
        err.flush();
        return password;
    }
    return readLine(device, source);
}
