#include "pdf/InvoicePdf.h"

#include "common/AppError.h"
#include "pdf/InvoiceSheet.h"
#include "pdf/LogoImage.h"
#include "pdf/PdfFile.h"
#include "settings/AppFiles.h"
#include "storage/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

int InvoicePdf::render(const FacturaeDocument::Document& document, QPagedPaintDevice& device,
                       const LogoImage* logo, const TaxQr& qr) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    InvoiceSheet sheet(document, device, logo, qr);
    QPainter painter;
    if (!painter.begin(&device))
        throw AppError(QStringLiteral("No se puede preparar el documento PDF"));
    painter.setRenderHint(QPainter::Antialiasing, false);
    sheet.paint(painter);
    if (!painter.end())
        throw AppError(QStringLiteral("No se puede completar el documento PDF"));
    return int(sheet.pages().size());
}

void InvoicePdf::write(const FacturaeDocument::Document& document, QIODevice& device,
                       const LogoImage* logo, const TaxQr& qr) {
    QPdfWriter writer(&device);
    writer.setResolution(600);
    writer.setCreator(QStringLiteral("Orvane"));
    const FacturaeDocument::Invoice& first = document.invoices.value(0);
    writer.setTitle(
        QStringLiteral("Factura %1%2")
            .arg(first.series.isEmpty() ? QString() : first.series + u' ', first.number));
    render(document, writer, logo, qr);
}

void InvoicePdf::save(const FacturaeDocument::Document& document, const QString& path,
                      const LogoImage* logo, const TaxQr& qr) {
    PdfFile::save(path, [&](QIODevice& device) { write(document, device, logo, qr); });
}

QString InvoicePdf::defaultOutputPath(const QString& documentPath) {
    const QFileInfo info(documentPath);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = dot > 0 ? name.left(dot) : name;
    const QString folder = documentPath.left(documentPath.size() - name.size());
    return folder + base + QStringLiteral(".pdf");
}

QString InvoicePdf::logoPathFor(const FacturaeDocument::Document& document, const QString& appDir) {
    const QString registro = AppFiles::registroIni(appDir);
    if (!QFileInfo(registro).isFile())
        return QString();
    try {
        const IniFile ini(registro);
        const QString logo = ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("LOGO"));
        const QString taxId = ini.readString(QStringLiteral("MISDATOS"), QStringLiteral("NIF"));
        if (logo.isEmpty() || taxId.trimmed().isEmpty() ||
            taxId.trimmed().compare(document.seller.taxId.trimmed(), Qt::CaseInsensitive) != 0)
            return QString();
        return QDir::isAbsolutePath(logo) ? logo : QDir(appDir).filePath(logo);
    } catch (const AppError&) {
        return QString(); // an unreadable settings file only costs the logo
    }
}
