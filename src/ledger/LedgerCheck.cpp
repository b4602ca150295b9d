#include "ledger/LedgerCheck.h"

#include "ledger/ColumnAgreement.h"
#include "ledger/RecordStore.h"
#include "records/ChainVerifier.h"

#include <algorithm>
#include <future>
#include <vector>

bool LedgerCheckReport::ok() const {
    return std::none_of(chains.begin(), chains.end(),
                        [](const ChainReport& c) { return c.fault.has_value(); });
}

namespace LedgerCheck {

namespace {

// Records are read from the book in batches; each record of a batch is read
// and its fingerprint computed on two threads (the work that needs no other
// record), then the batch is chained in order.
constexpr std::size_t Batch = 512;

struct Item {
    StoredRecord row;
    ChainVerifier::Examined examined;
    QString columns; // what the book's columns say that the record does not
};

void examine(std::vector<Item>& items, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        Item& item = items[i];
        item.examined = ChainVerifier::examine(item.row.bytes);
        if (item.examined.record)
            item.columns =
                ColumnAgreement::problem(item.row, *item.examined.record, item.examined.huella);
    }
}

ChainReport check(const RecordStore& store, const ChainKey& chain) {
    ChainVerifier verifier;
    std::vector<Item> items;
    items.reserve(Batch);
    auto chainBatch = [&] {
        const std::size_t half = items.size() / 2;
        auto first = std::async(std::launch::async, [&] { examine(items, 0, half); });
        examine(items, half, items.size());
        first.get();
        const bool good = std::all_of(items.begin(), items.end(), [&](const Item& item) {
            return verifier.add(item.row.sequence, item.examined,
                                [&](const ReadRecord&, const QString&) { return item.columns; });
        });
        items.clear();
        return good;
    };
    store.each(chain, [&](const StoredRecord& row) {
        items.push_back({row, {}, {}});
        return items.size() < Batch || chainBatch();
    });
    if (!items.empty())
        chainBatch();
    return {chain, verifier.count(), verifier.lastHuella(), verifier.fault(), verifier.summary()};
}

} // namespace

LedgerCheckReport run(const BookDatabase& db) {
    const RecordStore store(db);
    LedgerCheckReport report;
    for (const ChainKey& chain : store.chains())
        report.chains.append(check(store, chain));
    return report;
}

} // namespace LedgerCheck
