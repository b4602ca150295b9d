#include "common/FileIdentity.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace FileIdentity {

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    const QString canonicalB = QFileInfo(b).canonicalFilePath();
    if (canonicalA.isEmpty() || canonicalB.isEmpty())
        return false; // one of them does not exist
#ifdef Q_OS_WIN
    if (canonicalA.compare(canonicalB, Qt::CaseInsensitive) == 0)
        return true;
#else
    if (canonicalA == canonicalB)
        return true;
#endif
#ifdef Q_OS_UNIX
    struct stat statA {
    }, statB{};
    if (::stat(QFile::encodeName(canonicalA).constData(), &statA) == 0 &&
        ::stat(QFile::encodeName(canonicalB).constData(), &statB) == 0)
        return statA.st_dev == statB.st_dev && statA.st_ino == statB.st_ino;
#endif
    return false;
}

bool samePlace(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (sameFile(a, b))
        return true;
    const QFileInfo infoA(a), infoB(b);
    auto folderOf = [](const QFileInfo& info) {
        const QString canonical = QFileInfo(info.absolutePath()).canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(info.absolutePath()) : canonical;
    };
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity names = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity names = Qt::CaseSensitive;
#endif
    return infoA.fileName().compare(infoB.fileName(), names) == 0 &&
           folderOf(infoA).compare(folderOf(infoB), names) == 0;
}

QString sameAsAny(const QString& output, const QStringList& inputs) {
    for (const QString& input : inputs) {
        if (sameFile(output, input))
            return input;
    }
    return {};
}

} // namespace FileIdentity
