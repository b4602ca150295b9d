#pragma once

// A PDF's pages as poppler-utils read them: the text of each page or of the
// whole, the page count, one page as a picture.

#include "CliRunner.h"

#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

namespace PdfPages {

// The text of each page, non-breaking spaces as plain ones; with layout, as
// the page shows it (columns side by side), else in reading order.
inline QStringList texts(const QString& pdf, bool layout = true) {
    QStringList arguments{pdf, QStringLiteral("-")};
    if (layout)
        arguments.prepend(QStringLiteral("-layout"));
    QString text = CliRunner::run(QStringLiteral("pdftotext"), arguments).out;
    text.replace(QChar(0x00a0), u' ');
    QStringList pages = text.split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

inline int count(const QString& pdf) {
    const CliRunner::Run r = CliRunner::run(QStringLiteral("pdfinfo"), {pdf});
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(r.out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page n (from 1) in shades of grey at dpi dots per inch; null on failure.
inline QImage picture(const QString& pdf, int page, int dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const QString n = QString::number(page);
    CliRunner::run(QStringLiteral("pdftoppm"),
                   {QStringLiteral("-gray"), QStringLiteral("-png"), QStringLiteral("-r"),
                    QString::number(dpi), QStringLiteral("-f"), n, QStringLiteral("-l"), n,
                    QStringLiteral("-singlefile"), pdf, prefix});
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_Grayscale8);
}

// A text without a single blank or line break: the words and their order,
// wherever the layout breaks the lines ("HAC/" at the end of one).
inline QString squeezed(QString text) {
    return text.remove(QRegularExpression(QStringLiteral("\\s+")));
}

// The whole text of a PDF, squeezed.
inline QString squeezedText(const QString& pdf) {
    return squeezed(texts(pdf, false).join(QString()));
}

} // namespace PdfPages
