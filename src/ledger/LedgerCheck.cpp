#include "ledger/LedgerCheck.h"

#include "ledger/ColumnAgreement.h"
#include "ledger/RecordStore.h"
#include "records/ChainVerifier.h"

#include <algorithm>

bool LedgerCheckReport::ok() const {
    return std::none_of(chains.begin(), chains.end(),
                        [](const ChainReport& c) { return c.fault.has_value(); });
}

namespace LedgerCheck {

LedgerCheckReport run(const BookDatabase& db) {
    const RecordStore store(db);
    LedgerCheckReport report;
    for (const ChainKey& chain : store.chains()) {
        ChainVerifier verifier;
        store.each(chain, [&](const StoredRecord& row) {
            return verifier.add(row.sequence, row.bytes, ColumnAgreement::with(row));
        });
        report.chains.append(
            {chain, verifier.count(), verifier.lastHuella(), verifier.fault(), verifier.summary()});
    }
    return report;
}

} // namespace LedgerCheck
