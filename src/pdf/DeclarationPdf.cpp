#include "pdf/DeclarationPdf.h"

#include "common/AppError.h"
#include "common/SafeSave.h"
#include "pdf/PdfFonts.h"
#include "records/ConformityDeclaration.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPdfWriter>
#include <QTextDocument>

namespace DeclarationPdf {

QString html(const ConformityDeclaration& declaration) {
    QString text = QStringLiteral("<p align=\"center\" style=\"font-size: 13pt\"><b>%1</b></p>")
                       .arg(ConformityDeclaration::Title.toHtmlEscaped());
    for (const ConformityDeclaration::Entry& entry : declaration.entries)
        text += QStringLiteral("<p><b>%1</b><br>%2</p>")
                    .arg(entry.label.toHtmlEscaped(),
                         entry.value.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>")));
    return text;
}

void render(const ConformityDeclaration& declaration, QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    QTextDocument document;
    QFont font(PdfFonts::family(), 10);
    // No ligatures: "fi" stays two letters, so the text can be searched and
    // copied as written.
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    document.setHtml(html(declaration));
    // The document keeps margins of its own (2 cm) and numbers the pages.
    document.print(&device);
}

void save(const ConformityDeclaration& declaration, const QString& path) {
    auto failure = [&](const QString& reason) {
        return AppError(QStringLiteral("No se puede guardar «%1»: %2")
                            .arg(QDir::toNativeSeparators(path), reason));
    };
    if (QFileInfo(path).isDir())
        throw failure(QStringLiteral("es una carpeta"));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("Orvane"));
        writer.setTitle(QStringLiteral("Declaración responsable"));
        render(declaration, writer);
    }
    // Printing a text document reports no failure: an empty result is one.
    if (buffer.data().isEmpty())
        throw failure(QStringLiteral("no se ha podido componer el documento PDF"));
    QString reason;
    if (!SafeSave::write(path, buffer.data(), &reason))
        throw failure(reason);
}

} // namespace DeclarationPdf
