#include "pdf/TaxQrBlock.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

// The symbol is 34 mm wide (scanners expect 30 to 40), smaller only when its
// margin of four modules would not fit the column; the margin is never
// under 2 mm.
constexpr double SymbolWidth = 34, MinQuiet = 2;
constexpr int QuietModules = 4;
constexpr int TextFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip;

} // namespace

double TaxQrBlock::place(QPainter* p, const QFont& font, QPaintDevice& device, double x,
                         double top) const {
    const double perMm = device.logicalDpiY() / 25.4;
    const double column = ColumnWidth * perMm;
    const int n = m_code.size();
    const double side = std::min(SymbolWidth * perMm, column * n / (n + 2 * QuietModules));
    const double module = side / n;
    const double quiet = std::max(QuietModules * module, MinQuiet * perMm);
    const QFontMetricsF metrics(font, &device);
    if (p)
        p->setFont(font);
    auto text = [&](const QString& words, double y) {
        const QRectF box = metrics.boundingRect(QRectF(x, y, column, 0), TextFlags, words);
        if (p)
            p->drawText(QRectF(x, y, column, box.height()), TextFlags, words);
        return box.height();
    };

    double y = top;
    y += text(QStringLiteral("QR tributario:"), y) + quiet;
    if (p)
        paintSymbol(*p, x + (column - side) / 2, y, module);
    y += side + quiet;
    if (!m_legend.isEmpty())
        y += text(m_legend, y);
    return y - top;
}

// Every dark run of a row is one rectangle of a single path, filled at once
// without antialiasing: neighbouring modules meet with no seam between them.
void TaxQrBlock::paintSymbol(QPainter& p, double left, double top, double module) const {
    QPainterPath path;
    const int n = m_code.size();
    for (int row = 0; row < n; ++row) {
        const double y0 = top + row * module, y1 = top + (row + 1) * module;
        for (int column = 0; column < n;) {
            if (!m_code.isDark(column, row)) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < n && m_code.isDark(column, row))
                ++column;
            path.addRect(
                QRectF(QPointF(left + start * module, y0), QPointF(left + column * module, y1)));
        }
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(path, Qt::black);
    p.restore();
}
