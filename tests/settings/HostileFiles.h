#pragma once

// Import files a user should never have, made at test time in a temporary
// folder: big ones are sparse or generated, never committed.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace HostileFiles {

enum class Kind {
    Empty,
    Garbage,
    Huge200MB,
    Line10MB,
    Lineas1Million,
    Million1TextLines,
    Lineas2Pow31,
    Description1MB,
    InvalidUtf8,
    Utf16LeNoBom,
    Utf16BeNoBom,
    NulBytes,
    Folder,
    NoReadPermission,
    Pipe,
    OddPath,
    Missing,
};

// A complete invoice head: dates, bank entity, both parties.
inline QByteArray validHead(const QByteArray& lineas = "1") {
    return "[DATOS_GENERALES]\nSERIE=A\nFACTURA=7\nFECHA=05/03/2024\nLINEAS=" + lineas +
           "\n[VENDEDOR]\nENTIDAD=2100\nOFICINA=0418\nDC=45\nCUENTA=0200051332\nPERSONA=J\n"
           "NOMBRE=Talleres\n[COMPRADOR]\nPERSONA=J\nNOMBRE=Cliente\n[LINEAS]\n";
}

inline bool runningAsRoot() {
#ifdef Q_OS_UNIX
    return geteuid() == 0;
#else
    return false;
#endif
}

inline void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

inline QByteArray utf16(const QString& text, bool littleEndian) {
    QByteArray out;
    for (const QChar c : text) {
        const char lo = char(c.unicode() & 0xFF), hi = char(c.unicode() >> 8);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

// Makes the file of the given kind in dir and returns its path, or an empty
// path and the reason when that kind cannot be made here.
inline QString make(Kind kind, const QDir& dir, QString& cannot) {
    QString path = dir.filePath(QStringLiteral("factura.ini"));
    switch (kind) {
    case Kind::Empty:
        write(path, QByteArray());
        break;
    case Kind::Garbage: {
        QRandomGenerator random(20240305);
        QByteArray bytes(256 * 1024, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
        write(path, bytes);
        break;
    }
    case Kind::Huge200MB: {
        // Sparse: takes no room on the disk.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(path));
        file.write(validHead());
        file.resize(200LL * 1024 * 1024);
        break;
    }
    case Kind::Line10MB:
        write(path, validHead() + "NOMBRE1=" + QByteArray(10 * 1024 * 1024, 'x') + "\n");
        break;
    case Kind::Lineas1Million:
        write(path, validHead("1000000") + "NOMBRE1=uno\nPRECIO500000=1\nIVA999999=21\n");
        break;
    case Kind::Million1TextLines: {
        QByteArray bytes = validHead("3");
        bytes.reserve(bytes.size() + 5'000'000);
        for (int n = 0; n < 1'000'000; ++n)
            bytes += n % 400000 == 0 ? QByteArray("PRECIO2=2,5\n") : QByteArray("; -\n");
        write(path, bytes);
        break;
    }
    case Kind::Lineas2Pow31:
        write(path, validHead("2147483648") + "NOMBRE1=uno\nPRECIO1=3\n");
        break;
    case Kind::Description1MB:
        write(path, validHead() + "NOMBRE1=" + QByteArray(1024 * 1024, 'd') + "\nPRECIO1=1\n");
        break;
    case Kind::InvalidUtf8:
        // Windows-1252 bytes, and a broken sequence in the middle.
        write(path, validHead() + "NOMBRE1=Caf\xe9 Espa\xf1"
                                  "a \xc3\x28 fin\n");
        break;
    case Kind::Utf16LeNoBom:
    case Kind::Utf16BeNoBom:
        write(path, utf16(QString::fromUtf8(validHead() + "NOMBRE1=Camión de Núñez\n"),
                          kind == Kind::Utf16LeNoBom));
        break;
    case Kind::NulBytes: {
        static const char withNuls[] = "NOMBRE1=a\0b\nPRECIO\0"
                                       "1=2\n\0\0\0";
        write(path, validHead() + QByteArray(withNuls, sizeof withNuls - 1));
    } break;
    case Kind::Folder:
        if (!dir.mkdir(QStringLiteral("factura.ini")))
            qFatal("cannot create a folder");
        break;
    case Kind::NoReadPermission:
        if (runningAsRoot()) {
            cannot = QStringLiteral("root reads any file");
            return {};
        }
        write(path, validHead());
        QFile::setPermissions(path, QFileDevice::WriteOwner);
        break;
    case Kind::Pipe:
#ifdef Q_OS_UNIX
        if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            qFatal("mkfifo failed");
#else
        cannot = QStringLiteral("no named pipes here");
        return {};
#endif
        break;
    case Kind::OddPath: {
        const QString folder = QStringLiteral("Facturas 'de' \"Núñez\" año");
        if (!dir.mkdir(folder))
            qFatal("cannot create the folder");
        path = dir.filePath(folder + QStringLiteral("/F 2024 'ñ' \"ü\".ini"));
        write(path, validHead() + "NOMBRE1=Peñón\n");
        break;
    }
    case Kind::Missing:
        path = dir.filePath(QStringLiteral("no existe.ini"));
        break;
    }
    return path;
}

} // namespace HostileFiles
