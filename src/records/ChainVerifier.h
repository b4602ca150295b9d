#pragma once

#include "records/ChainCheck.h"
#include "records/RecordReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// Where a chain that does not start with the first record takes up: the
// last record before it (kept elsewhere once older records were exported and
// removed).
struct ChainAnchor {
    qint64 sequence = 0;
    QString issuerNif;
    QString numSerie;
    QString issueDate; // dd-mm-yyyy
    QString huella;
};

// Checks a chain of stored records in sequence order, one record at a time so
// that a long book never has to be held in memory: every record's
// fingerprint is computed again from its own XML texts, and every record must
// name the one before it (its invoice and fingerprint), the first one being
// marked as first. Stops at the first fault.
class ChainVerifier : public ChainCheck {
public:
    explicit ChainVerifier(std::optional<ChainAnchor> anchor = std::nullopt);

    // What the caller keeps beside a record (a book's columns) must say what
    // the record says: the problem in Spanish, or an empty text when it does.
    // Given the record read and its fingerprint computed again.
    using Agreement = std::function<QString(const ReadRecord& record, const QString& huella)>;

    // A stored record read and its fingerprint computed again: the work on
    // one record that needs no other, so it may be done on another thread.
    struct Examined {
        std::optional<ReadRecord> record; // nothing when the bytes are not one
        QString unreadable;               // then why, in Spanish
        QString huella;
    };
    static Examined examine(const QByteArray& bytes);

    // False once a fault is found (this record's or an earlier one's).
    bool add(qint64 sequence, const QByteArray& bytes, const Agreement& agreement = {});
    bool add(qint64 sequence, const Examined& examined, const Agreement& agreement = {});

    // The last good record's fingerprint and generation time: what the next
    // record links to and must not be dated before.
    const QString& lastHuella() const { return m_last.huella; }
    std::optional<QDateTime> lastGeneratedAt() const;

private:
    std::optional<ChainAnchor> m_anchor;
    struct Last {
        QString issuerNif, numSerie, issueDate, huella, generatedAt;
    } m_last;
};
