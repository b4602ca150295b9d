#pragma once

#include "session/DocumentRenderer.h"

#include <QString>

// The session's renderer where QtGui is at hand (the window, the tool): reads
// the Facturae document, takes the issuer's logo from Registro.Ini in appDir
// when the document is the issuer's own, and saves the PDF atomically.
class PdfRenderer : public DocumentRenderer {
public:
    explicit PdfRenderer(QString appDir) : m_appDir(std::move(appDir)) {}
    void render(const QByteArray& document, const QString& path, const TaxQr& qr) override;

private:
    QString m_appDir;
};
