#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

class BookDatabase;

// Which invoice of the book each corrective invoice corrects: one link per
// version of a corrective, to the version of the corrected invoice that was
// current when it was issued. Links are never changed or removed.
class BookCorrections {
public:
    explicit BookCorrections(BookDatabase& db) : m_db(db) {}

    void link(qint64 correctiveId, qint64 correctedId);
    std::optional<qint64> correctedBy(qint64 correctiveId) const;
    // The correctives of a version, oldest first.
    QList<qint64> correctivesOf(qint64 correctedId) const;

private:
    BookDatabase& m_db;
};
