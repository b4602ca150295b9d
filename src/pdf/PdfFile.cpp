#include "pdf/PdfFile.h"

#include "common/AppError.h"
#include "common/SafeSave.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>

void PdfFile::save(const QString& path, const std::function<void(QIODevice& device)>& write) {
    auto failure = [&](const QString& reason) {
        return AppError(QStringLiteral("No se puede guardar «%1»: %2")
                            .arg(QDir::toNativeSeparators(path), reason));
    };
    if (QFileInfo(path).isDir())
        throw failure(QStringLiteral("es una carpeta"));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    write(buffer);
    // Some painting reports no failure (a text document's printing): an
    // empty result is one.
    if (buffer.data().isEmpty())
        throw failure(QStringLiteral("no se ha podido componer el documento PDF"));
    QString reason;
    if (!SafeSave::write(path, buffer.data(), &reason))
        throw failure(reason);
}
