#include "sending/RecordId.h"

#include <QHashFunctions>

QString RecordId::describe() const {
    return QStringLiteral("%1 del %2 (%3)")
        .arg(number, issueDate,
             operation == Operation::Alta ? QStringLiteral("alta") : QStringLiteral("anulación"));
}

size_t qHash(const RecordId& id, size_t seed) noexcept {
    return qHashMulti(seed, id.issuerNif, id.number, id.issueDate, int(id.operation));
}
