#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Reading a whole input file the program was pointed at (a document, a
// certificate) without trusting what it is: only a regular file is read, and
// no more than a cap. A folder, a pipe, a device or a socket is refused at
// once, before it is opened, so a pipe cannot keep the program waiting and a
// device cannot feed it without end. The cap is judged by the bytes actually
// read, not only by the size the system reports, so a file that lies about
// its size or grows meanwhile is still cut off.
//
// Every failure throws AppError with a Spanish message naming the file:
// "No se puede leer <what> <ruta>: <motivo>".
namespace BoundedFile {

// A Facturae document, signed or not (a 100,000-line invoice is about 85 MB).
inline constexpr qint64 MaxDocumentBytes = 512LL * 1024 * 1024;
// A PKCS#12 certificate file (a few kilobytes).
inline constexpr qint64 MaxCertificateBytes = 1024LL * 1024;

QByteArray read(const QString& path, qint64 maxBytes,
                const QString& what = QStringLiteral("el fichero"));
// A document the program was pointed at: read(path, MaxDocumentBytes).
QByteArray readDocument(const QString& path);

// The same cap on a stream already open (the standard input); name is what
// the messages call it.
QByteArray read(QIODevice& device, const QString& name, qint64 maxBytes,
                const QString& what = QStringLiteral("el fichero"));

} // namespace BoundedFile
