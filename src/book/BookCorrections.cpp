#include "book/BookCorrections.h"

#include "book/SqlStatement.h"

void BookCorrections::link(qint64 correctiveId, qint64 correctedId) {
    SqlStatement insert(m_db, "INSERT INTO corrections (invoice_id, corrected_id) VALUES (?, ?)");
    insert.bindAll(correctiveId, correctedId).run();
}

std::optional<qint64> BookCorrections::correctedBy(qint64 correctiveId) const {
    SqlStatement select(m_db, "SELECT corrected_id FROM corrections WHERE invoice_id = ?");
    select.bindAll(correctiveId);
    if (!select.next())
        return std::nullopt;
    return select.integer(0);
}

QList<qint64> BookCorrections::correctivesOf(qint64 correctedId) const {
    SqlStatement select(m_db, "SELECT invoice_id FROM corrections WHERE corrected_id = ? "
                              "ORDER BY invoice_id");
    select.bindAll(correctedId);
    QList<qint64> ids;
    while (select.next())
        ids.append(select.integer(0));
    return ids;
}
