#pragma once

#include "records/EventCodes.h"

#include <QString>

#include <optional>

// The first fault of a chain: the record's or event's sequence number, what
// it is (when it could be read: the record's invoice, the event's type and
// time) and what does not match, in Spanish; and how the event log names
// that kind of anomaly.
struct ChainFault {
    qint64 sequence = 0;
    QString invoice;
    QString message;
    AnomalyType anomaly = AnomalyType::Other;
};

// What the checks of the chains of records and of events share: sequence
// numbers that follow each other, the fingerprint computed again and of its
// one type, the generation time's form, the first item marked first and no
// other, the first fault, and the sentence for the user.
class ChainCheck {
public:
    // False once a fault is found.
    bool ok() const { return !m_fault; }
    const std::optional<ChainFault>& fault() const { return m_fault; }
    // How many passed.
    qint64 count() const { return m_count; }

    // One sentence for the user: "cadena correcta (n registros)" or the fault.
    QString summary() const;

    // How the sentences name what is checked.
    struct Words {
        const char* item;       // "registro"
        const char* firstField; // "PrimerRegistro"
        const char* timeField;  // "FechaHoraHusoGenRegistro"
        const char* correct;    // "Cadena correcta: %1 registros"
        const char* subject;    // " (factura %1)"
    };

protected:
    // anchorSequence: the last item before the chain, when older ones were
    // exported and removed.
    ChainCheck(const Words& words, std::optional<qint64> anchorSequence);

    // Whether the sequence number is the one that follows the last good item;
    // records a fault otherwise.
    bool inSequence(qint64 sequence);
    // Whether the item's fingerprint is of type 01 and the one its texts give
    // (computed), and its generation time has its form.
    bool intact(const QString& subject, const QString& tipoHuella, const QString& stored,
                const QString& computed, const QString& generatedAt);
    // Whether only the first item of a chain without an anchor is marked
    // first. True leaves the link to check when there is a previous item.
    bool markedFirstRightly(const QString& subject, bool markedFirst);
    // The item checked now, after inSequence, passed.
    void passed();

    void fail(const QString& subject, const QString& message, AnomalyType anomaly);
    // The sequence number of the item before the one checked now.
    qint64 previousSequence() const { return m_sequence - 1; }
    bool startsHere() const { return m_count == 0; }
    // Whether the item checked now comes straight after the anchor.
    bool afterAnchor() const { return startsHere() && m_anchorSequence.has_value(); }

private:
    Words m_words;
    std::optional<qint64> m_anchorSequence;
    std::optional<ChainFault> m_fault;
    qint64 m_count = 0;
    qint64 m_sequence = 0;
};
