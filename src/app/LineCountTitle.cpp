#include "app/LineCountTitle.h"

#include "invoice/Memoria.h"

#include <QGroupBox>

void showLineCount(QGroupBox& group, const Memoria& lines) {
    // The title's accelerator takes the keyboard into the grid.
    const QString title = QStringLiteral("&Detalle Factura");
    auto update = [&group, &lines, title] {
        const int count = lines.count();
        group.setTitle(count == 0   ? title
                       : count == 1 ? title + QStringLiteral(" — 1 línea")
                                    : title + QStringLiteral(" — %1 líneas").arg(count));
    };
    for (auto signal : {&Memoria::rowsReset, &Memoria::afterPost, &Memoria::afterDelete})
        QObject::connect(&lines, signal, &group, update);
    update();
}
