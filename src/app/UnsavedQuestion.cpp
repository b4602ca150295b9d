#include "app/UnsavedQuestion.h"

namespace UnsavedQuestion {

Prompts::SaveChoice ask(QWidget* parent, Next next) {
    QString before;
    switch (next) {
    case Next::NewInvoice:
        before = QStringLiteral("empezar una factura nueva");
        break;
    case Next::OpenFile:
        before = QStringLiteral("abrir otro fichero");
        break;
    case Next::Import:
        before = QStringLiteral("capturar los datos de otro fichero");
        break;
    case Next::Quit:
        before = QStringLiteral("salir");
        break;
    }
    return Prompts::instance().askSaveDiscard(
        parent, AppTitle,
        QStringLiteral("La factura tiene cambios sin guardar.\n\n¿Desea guardarla como borrador "
                       "antes de %1?")
            .arg(before));
}

} // namespace UnsavedQuestion
