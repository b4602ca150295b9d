#include "records/EventBatch.h"

#include "common/AppError.h"
#include "records/EventReader.h"
#include "records/RecordBatch.h"
#include "records/RecordXmlWriter.h"

namespace EventBatch {

QByteArray element(const QList<QByteArray>& events) {
    if (events.isEmpty())
        throw AppError(QStringLiteral("No hay registros de evento que exportar"));
    RecordXmlWriter out;
    out.start(Root);
    for (qsizetype i = 0; i < events.size(); ++i) {
        QByteArray event = events[i];
        if (event.startsWith("\xEF\xBB\xBF"))
            event.remove(0, 3);
        event = RecordBatch::recordElement(event);
        try {
            if (!event.startsWith('<') || event.startsWith("<?"))
                throw AppError(QStringLiteral("no empieza por un elemento"));
            EventReader::read(event);
        } catch (const AppError& e) {
            throw AppError(QStringLiteral("El evento %1 de los que se exportan no es un registro "
                                          "de evento guardado por Orvane: %2")
                               .arg(QString::number(i + 1), e.message()));
        }
        out.raw(event);
    }
    out.end();
    return out.take();
}

QByteArray document(const QList<QByteArray>& events) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + element(events) + '\n';
}

} // namespace EventBatch
