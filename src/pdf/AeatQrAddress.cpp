#include "pdf/AeatQrAddress.h"

#include "records/QrAddress.h"

bool AeatQrAddress::accepts(const QString& address) {
    // The same rules the program's own addresses are built by: a document
    // another program made gets no looser reading than our own.
    return QrAddress::read(address).has_value();
}
