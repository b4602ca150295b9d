#include "ledger/StoredRecord.h"

QString StoredRecord::kindText() const {
    return kind == Kind::Alta ? QStringLiteral("alta") : QStringLiteral("anulación");
}
