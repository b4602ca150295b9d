#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

struct ReadEvent;
struct ReadRecord;

// One stored record or event as the chain's list shows it: what the next one
// must name it by, what it names as the one before it, and its generation
// time. A row that could not be read has only its sequence number.
struct ChainRow {
    qint64 sequence = 0;
    QString huella;      // computed again from its texts: what a true link names
    QString name;        // the record's invoice, the event's type and time
    bool intact = false; // the stored fingerprint is the computed one
    bool first = false;
    QString previousHuella;
    QString previousName;
    std::optional<QDateTime> generatedAt;

    static ChainRow of(qint64 sequence, const ReadRecord& record);
    static ChainRow of(qint64 sequence, const ReadEvent& event);
};

// How a row stands with the rows on each side of it, looking backward (the
// row before it) and forward (the row after it).
struct RowCheck {
    bool intact = false;
    bool linkBack = false;     // it names the row before it, or is the first and says so
    bool linkForward = false;  // the row after it names it, or it is the last
    bool orderBack = false;    // generated no earlier than the row before it
    bool orderForward = false; // generated no later than the row after it

    bool linkOk() const { return linkBack && linkForward; }
    bool orderOk() const { return orderBack && orderForward; }
    QString linkText() const;  // "enlace correcto" / "enlace incorrecto"
    QString orderText() const; // "orden temporal correcto" / "orden temporal incorrecto"
};

namespace ChainRows {

// The rows in sequence order, each judged against its neighbours. before:
// the row that comes before the first one when older ones were exported and
// removed; without it the first row must be marked first.
QList<RowCheck> check(const QList<ChainRow>& rows,
                      const std::optional<ChainRow>& before = std::nullopt);

} // namespace ChainRows
