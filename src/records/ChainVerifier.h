#pragma once

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

// The first fault of a chain: the record's sequence number, its invoice (when
// it could be read) and what does not match, in Spanish.
struct ChainFault {
    qint64 sequence = 0;
    QString invoice;
    QString message;
};

// Checks a chain of stored records in sequence order, one record at a time so
// that a long book never has to be held in memory: every record's
// fingerprint is computed again from its own XML texts, and every record must
// name the one before it (its invoice and fingerprint), the first one being
// marked as first. Stops at the first fault.
class ChainVerifier {
public:
    explicit ChainVerifier(std::optional<ChainAnchor> anchor = std::nullopt);

    // False once a fault is found (this record's or an earlier one's).
    bool add(qint64 sequence, const QByteArray& bytes);

    bool ok() const { return !m_fault; }
    const std::optional<ChainFault>& fault() const { return m_fault; }
    qint64 count() const { return m_count; }
    // The last good record's fingerprint and generation time: what the next
    // record links to and must not be dated before.
    const QString& lastHuella() const { return m_last.huella; }
    std::optional<QDateTime> lastGeneratedAt() const;

    // One sentence for the user: "cadena correcta (n registros)" or the fault.
    QString summary() const;

private:
    void fail(qint64 sequence, const QString& invoice, const QString& message);

    std::optional<ChainAnchor> m_anchor;
    std::optional<ChainFault> m_fault;
    qint64 m_count = 0;
    struct Last {
        qint64 sequence = 0;
        QString issuerNif, numSerie, issueDate, huella, generatedAt;
    } m_last;
};
