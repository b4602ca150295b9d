#pragma once

#include <QImage>
#include <QRectF>
#include <QString>

#include <memory>

class QPainter;
class QSvgRenderer;

// The issuer's logo: a PNG or JPEG picture, or an SVG drawing kept as
// vectors. Drawn into a box, keeping its proportions, at the box's top left.
class LogoImage {
public:
    LogoImage();
    ~LogoImage();
    LogoImage(LogoImage&&) noexcept;
    LogoImage& operator=(LogoImage&&) noexcept;

    // False (and nothing to draw) when the file is missing or not a picture.
    bool load(const QString& path);
    bool isNull() const;
    void draw(QPainter& painter, const QRectF& box) const;

private:
    QImage m_image;
    std::unique_ptr<QSvgRenderer> m_svg;
};
