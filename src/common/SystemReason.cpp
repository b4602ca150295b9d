#include "common/SystemReason.h"

#include <QList>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

namespace SystemReason {

namespace {

struct Known {
    int code;
    const char* spanish;
};

// The failures a person can meet while reading or saving a file.
const Known Reasons[] = {
    {ENOENT, "no existe el fichero o la carpeta"},
    {EACCES, "no hay permiso para hacerlo"},
    {EPERM, "el sistema no lo permite"},
    {ENOSPC, "no queda espacio en el disco"},
    {EFBIG, "el fichero superaría el tamaño máximo permitido"},
#ifdef EDQUOT
    {EDQUOT, "se ha agotado la cuota de disco"},
#endif
    {EROFS, "el disco es de solo lectura"},
    {EISDIR, "es una carpeta, no un fichero"},
    {ENOTDIR, "una parte de la ruta no es una carpeta"},
    {ENAMETOOLONG, "el nombre es demasiado largo"},
#ifdef ELOOP
    {ELOOP, "hay demasiados enlaces simbólicos seguidos"},
#endif
    {EIO, "error de lectura o escritura en el disco"},
    {EBUSY, "el fichero está en uso"},
#ifdef ETXTBSY
    {ETXTBSY, "el fichero está en uso"},
#endif
    {EMFILE, "hay demasiados ficheros abiertos"},
    {ENFILE, "hay demasiados ficheros abiertos"},
    {ENXIO, "el dispositivo no está disponible"},
    {ENODEV, "el dispositivo no está disponible"},
    {EEXIST, "ya existe"},
    {EXDEV, "no se puede mover entre discos distintos"},
    {EINVAL, "la operación no es válida para este fichero"},
    {EBADF, "el descriptor no está abierto"},
    {ENOMEM, "no hay memoria suficiente"},
};

struct Translation {
    QString system;
    QString spanish;
};

// What strerror() says for each known reason, in whatever language it speaks
// here: the texts Qt passes on are strerror()'s.
const QList<Translation>& translations() {
    static const QList<Translation> list = [] {
        QList<Translation> l;
        for (const Known& k : Reasons)
            l.append({QString::fromLocal8Bit(std::strerror(k.code)), QString::fromUtf8(k.spanish)});
        return l;
    }();
    return list;
}

} // namespace

QString ofErrno(int code) {
    for (const Known& k : Reasons) {
        if (k.code == code)
            return QString::fromUtf8(k.spanish);
    }
    return spanish(QString::fromLocal8Bit(std::strerror(code)));
}

QString spanish(const QString& systemText) {
    const QString text = systemText.trimmed();
    if (text.isEmpty() || text == u"Unknown error")
        return QStringLiteral("error desconocido");
    for (const Translation& t : translations()) {
        if (text.compare(t.system, Qt::CaseInsensitive) == 0 ||
            text.endsWith(QStringLiteral(": ") + t.system, Qt::CaseInsensitive))
            return t.spanish;
    }
    // Qt's own words for a read-only target of QSaveFile and a folder given to QFile.
    static const QRegularExpression notWritable(
        QStringLiteral("^Existing file .* is not writable$"));
    if (notWritable.match(text).hasMatch())
        return QStringLiteral("el fichero existente no admite escritura");
    if (text == u"file to open is a directory")
        return QStringLiteral("es una carpeta, no un fichero");
    return QStringLiteral("error del sistema (%1)").arg(text);
}

} // namespace SystemReason
