// The save path on a file system that runs out of room: the input gives the
// room left (a file-size limit of 0 to 65535 bytes), the old content and the
// new one. A save either leaves the new content whole or fails with a reason
// and leaves the old content byte for byte, with nothing left beside it.
#include "FuzzCheck.h"
#include "common/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <sys/resource.h>

using FuzzCheck::check;
using FuzzCheck::readAll;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const bool ignored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
    check(ignored);
    if (size < 4)
        return 0;
    const rlim_t room = rlim_t(data[0]) << 8 | data[1];
    const std::size_t oldSize = std::min<std::size_t>(std::size_t(data[2]) << 4, size - 3);
    const QByteArray oldContent(reinterpret_cast<const char*>(data) + 3, qsizetype(oldSize));
    const QByteArray newContent(reinterpret_cast<const char*>(data) + 3 + oldSize,
                                qsizetype(size - 3 - oldSize));
    const QString path = dir.filePath(QStringLiteral("Registro.Ini"));
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        check(file.write(oldContent) == oldContent.size());
    }

    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = room;
    setrlimit(RLIMIT_FSIZE, &limit);
    QString reason;
    const bool ok = SafeSave::write(path, newContent, &reason);
    setrlimit(RLIMIT_FSIZE, &saved);

    check(ok == (rlim_t(newContent.size()) <= room));
    check(readAll(path) == (ok ? newContent : oldContent));
    check(ok || !reason.isEmpty());
    check(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden) ==
          QStringList{QStringLiteral("Registro.Ini")});
    return 0;
}
