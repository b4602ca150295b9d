#pragma once

#include "pdf/TaxQrCode.h"

#include <QString>

class QFont;
class QPaintDevice;
class QPainter;

// The tax QR as it stands at the top of an invoice's first page:
// "QR tributario:", the symbol with a clear margin all round, and the legend
// below it, centred in a column ColumnWidth millimetres wide.
class TaxQrBlock {
public:
    static constexpr double ColumnWidth = 45; // mm

    TaxQrBlock(TaxQrCode code, QString legend)
        : m_code(std::move(code)), m_legend(std::move(legend)) {}

    // The block's height in device units with its column's left edge at x;
    // paints it when p is given. Label and legend are set in font.
    double place(QPainter* p, const QFont& font, QPaintDevice& device, double x, double top) const;

private:
    void paintSymbol(QPainter& p, double left, double top, double module) const;

    TaxQrCode m_code;
    QString m_legend;
};
