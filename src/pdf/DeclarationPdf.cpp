#include "pdf/DeclarationPdf.h"

#include "pdf/PdfFile.h"
#include "pdf/PdfFonts.h"
#include "records/ConformityDeclaration.h"

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
    PdfFile::save(path, [&](QIODevice& device) {
        QPdfWriter writer(&device);
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("Orvane"));
        writer.setTitle(QStringLiteral("Declaración responsable"));
        render(declaration, writer);
    });
}

} // namespace DeclarationPdf
