#pragma once

#include <QString>

#include <functional>

class QIODevice;

namespace PdfFile {

// Makes a PDF in memory with write, then saves it to path in one piece: a
// failed save leaves no half-written file and any old one whole. Throws
// AppError naming the file and the reason (a folder, nothing written, the
// system's reason).
void save(const QString& path, const std::function<void(QIODevice& device)>& write);

} // namespace PdfFile
