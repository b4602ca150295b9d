#include "sending/SendingLock.h"

#include <QDir>
#include <QFileInfo>

SendingLock::SendingLock(const QString& bookPath)
    : m_file(std::make_unique<QLockFile>(
          QFileInfo(bookPath).dir().filePath(QString::fromLatin1(FileName)))) {
    // A pass may wait on the network for minutes: the lock is never stale by
    // age, only when the program holding it is gone.
    m_file->setStaleLockTime(0);
    m_held = m_file->tryLock(0);
}

QString SendingLock::busyMessage() {
    return QStringLiteral("Otro programa (la ventana de Orvane u otro «orvane-cli records send») "
                          "está enviando ahora los registros de este libro: no se ha enviado "
                          "nada para no enviarlos dos veces. Vuelva a intentarlo cuando termine");
}
