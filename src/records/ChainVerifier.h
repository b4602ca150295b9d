#pragma once

#include "records/ChainCheck.h"
#include "records/RecordReader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

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

    // False once a fault is found (this record's or an earlier one's).
    bool add(qint64 sequence, const QByteArray& bytes);

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
