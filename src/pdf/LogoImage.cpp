#include "pdf/LogoImage.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

LogoImage::LogoImage() = default;
LogoImage::~LogoImage() = default;
LogoImage::LogoImage(LogoImage&&) noexcept = default;
LogoImage& LogoImage::operator=(LogoImage&&) noexcept = default;

bool LogoImage::load(const QString& path) {
    m_image = QImage();
    m_svg.reset();
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"svg" || suffix == u"svgz") {
        auto svg = std::make_unique<QSvgRenderer>();
        if (!svg->load(path) || !svg->isValid() || svg->defaultSize().isEmpty())
            return false;
        m_svg = std::move(svg);
        return true;
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // A logo needs no more than a few thousand pixels a side.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 8000 || size.height() > 8000))
        reader.setScaledSize(size.scaled(2000, 2000, Qt::KeepAspectRatio));
    m_image = reader.read();
    return !m_image.isNull();
}

bool LogoImage::isNull() const {
    return m_image.isNull() && !m_svg;
}

void LogoImage::draw(QPainter& painter, const QRectF& box) const {
    const QSizeF natural = m_svg ? QSizeF(m_svg->defaultSize()) : QSizeF(m_image.size());
    if (natural.isEmpty())
        return;
    const QSizeF fitted = natural.scaled(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.topLeft(), fitted);
    if (m_svg)
        m_svg->render(&painter, target);
    else
        painter.drawImage(target, m_image);
}
