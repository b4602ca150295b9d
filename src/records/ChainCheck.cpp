#include "records/ChainCheck.h"

#include "records/GenerationTime.h"

ChainCheck::ChainCheck(const Words& words, std::optional<qint64> anchorSequence)
    : m_words(words), m_anchorSequence(anchorSequence) {}

void ChainCheck::fail(const QString& subject, const QString& message, AnomalyType anomaly) {
    m_fault = ChainFault{m_sequence, subject, message, anomaly};
}

bool ChainCheck::inSequence(qint64 sequence) {
    if (m_fault)
        return false;
    const qint64 expected =
        startsHere() ? (m_anchorSequence ? *m_anchorSequence + 1 : sequence) : m_sequence + 1;
    const QString item = QString::fromUtf8(m_words.item);
    if (sequence > expected) {
        m_sequence = expected;
        fail(QString(),
             QStringLiteral("falta el %1 n.º %2: tras el n.º %3 viene el n.º %4")
                 .arg(item)
                 .arg(expected)
                 .arg(expected - 1)
                 .arg(sequence),
             AnomalyType::PreviousMissing);
        return false;
    }
    m_sequence = sequence;
    if (sequence < expected) {
        fail(QString(),
             QStringLiteral("el %1 n.º %2 aparece después del n.º %3: la secuencia está "
                            "repetida o desordenada")
                 .arg(item)
                 .arg(sequence)
                 .arg(expected - 1),
             AnomalyType::OtherChainLink);
        return false;
    }
    return true;
}

bool ChainCheck::intact(const QString& subject, const QString& tipoHuella, const QString& stored,
                        const QString& computed, const QString& generatedAt) {
    if (tipoHuella.trimmed() != u"01") {
        fail(subject, QStringLiteral("TipoHuella es «%1» y debe ser 01 (SHA-256)").arg(tipoHuella),
             AnomalyType::FingerprintIntegrity);
        return false;
    }
    if (computed != stored.trimmed()) {
        fail(subject,
             QStringLiteral("la huella guardada (%1) no es la que dan sus datos (%2): el %3 "
                            "se ha modificado")
                 .arg(stored.trimmed(), computed, QString::fromUtf8(m_words.item)),
             AnomalyType::FingerprintIntegrity);
        return false;
    }
    if (!GenerationTime::parse(generatedAt.trimmed())) {
        fail(subject,
             QStringLiteral("%1 «%2» no tiene la forma aaaa-mm-ddThh:mm:ss±hh:mm")
                 .arg(QString::fromUtf8(m_words.timeField), generatedAt),
             AnomalyType::OtherDates);
        return false;
    }
    return true;
}

bool ChainCheck::markedFirstRightly(const QString& subject, bool markedFirst) {
    const QString item = QString::fromUtf8(m_words.item);
    const QString field = QString::fromUtf8(m_words.firstField);
    if (startsHere() && !m_anchorSequence) {
        if (markedFirst)
            return true;
        fail(subject,
             QStringLiteral("es el primer %1 guardado y no lleva %2=S: faltan los %1s "
                            "anteriores a él")
                 .arg(item, field),
             AnomalyType::PreviousMissing);
        return false;
    }
    if (markedFirst) {
        fail(subject,
             QStringLiteral("lleva %1=S sin ser el primero: la cadena vuelve a empezar tras el "
                            "%2 n.º %3")
                 .arg(field, item)
                 .arg(previousSequence()),
             AnomalyType::OtherChainLink);
        return false;
    }
    return true;
}

void ChainCheck::passed() {
    ++m_count;
}

QString ChainCheck::summary() const {
    if (!m_fault)
        return QString::fromUtf8(m_words.correct).arg(m_count);
    return QStringLiteral("Fallo en el %1 n.º %2%3: %4")
        .arg(QString::fromUtf8(m_words.item))
        .arg(m_fault->sequence)
        .arg(m_fault->invoice.isEmpty() ? QString()
                                        : QString::fromUtf8(m_words.subject).arg(m_fault->invoice),
             m_fault->message);
}
