#pragma once

#include <QString>

struct ConformityDeclaration;
class QPagedPaintDevice;

// The declaration of conformity as a document a person reads, prints or
// keeps as PDF: the same text in the window and on paper. Needs a
// QGuiApplication (the offscreen platform is enough).
namespace DeclarationPdf {

// The name a saved copy is given unless the person chooses another.
inline const QString FileName = QStringLiteral("declaracion-responsable.pdf");

// The text as rich text: the title, then each label in bold with its value
// below it.
QString html(const ConformityDeclaration& declaration);

// Paints it on A4 pages of a paged device (a PDF writer, a printer), each
// page numbered.
void render(const ConformityDeclaration& declaration, QPagedPaintDevice& device);

// Writes the PDF to path atomically: a failed save leaves no half-written
// file and any old one whole. Throws AppError naming the file and reason.
void save(const ConformityDeclaration& declaration, const QString& path);

} // namespace DeclarationPdf
