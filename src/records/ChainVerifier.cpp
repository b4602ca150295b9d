#include "records/ChainVerifier.h"

#include "common/AppError.h"
#include "records/GenerationTime.h"
#include "records/RecordText.h"

namespace {

QString invoiceName(const QString& numSerie, const QString& date) {
    return QStringLiteral("%1 de %2").arg(numSerie, date);
}

} // namespace

ChainVerifier::ChainVerifier(std::optional<ChainAnchor> anchor) : m_anchor(std::move(anchor)) {}

void ChainVerifier::fail(qint64 sequence, const QString& invoice, const QString& message) {
    m_fault = ChainFault{sequence, invoice, message};
}

bool ChainVerifier::add(qint64 sequence, const QByteArray& bytes) {
    if (m_fault)
        return false;

    const bool startsHere = m_count == 0;
    const qint64 expected =
        startsHere ? (m_anchor ? m_anchor->sequence + 1 : sequence) : m_last.sequence + 1;
    if (sequence > expected) {
        fail(expected, QString(),
             QStringLiteral("falta el registro n.º %1: tras el n.º %2 viene el n.º %3")
                 .arg(expected)
                 .arg(expected - 1)
                 .arg(sequence));
        return false;
    }
    if (sequence < expected) {
        fail(sequence, QString(),
             QStringLiteral("el registro n.º %1 aparece después del n.º %2: la secuencia está "
                            "repetida o desordenada")
                 .arg(sequence)
                 .arg(expected - 1));
        return false;
    }

    ReadRecord record;
    try {
        record = RecordReader::read(bytes);
    } catch (const AppError& e) {
        fail(sequence, QString(),
             QStringLiteral("el registro no se puede leer: %1").arg(e.message()));
        return false;
    }
    const Fingerprint::RecordTexts& t = record.fingerprinted;
    const QString invoice = record.invoiceText();

    if (record.tipoHuella.trimmed() != u"01") {
        fail(sequence, invoice,
             QStringLiteral("TipoHuella es «%1» y debe ser 01 (SHA-256)").arg(record.tipoHuella));
        return false;
    }
    const QString computed = Fingerprint::of(Fingerprint::input(t));
    if (computed != record.huella.trimmed()) {
        fail(sequence, invoice,
             QStringLiteral("la huella guardada (%1) no es la que dan sus datos (%2): el registro "
                            "se ha modificado")
                 .arg(record.huella.trimmed(), computed));
        return false;
    }
    if (!GenerationTime::parse(t.generatedAt.trimmed())) {
        fail(sequence, invoice,
             QStringLiteral("FechaHoraHusoGenRegistro «%1» no tiene la forma "
                            "aaaa-mm-ddThh:mm:ss±hh:mm")
                 .arg(t.generatedAt));
        return false;
    }
    if (!t.anulacion) {
        const auto cuota = RecordText::readAmount(t.cuotaTotal);
        const auto total = RecordText::readAmount(t.importeTotal);
        if (!cuota || !total || !record.detailQuota || !record.detailTotal) {
            fail(sequence, invoice, QStringLiteral("un importe del registro no es un número"));
            return false;
        }
        if (*cuota != *record.detailQuota || *total != *record.detailTotal) {
            fail(sequence, invoice,
                 QStringLiteral("el desglose suma una cuota de %1 y un importe de %2, y el "
                                "registro declara CuotaTotal %3 e ImporteTotal %4: el registro "
                                "se ha modificado")
                     .arg(record.detailQuota->plainText(2, 2), record.detailTotal->plainText(2, 2),
                          t.cuotaTotal.trimmed(), t.importeTotal.trimmed()));
            return false;
        }
    }

    // The link: the first record of a book is marked first; every other one
    // names the record before it.
    const bool linksToAnchor = startsHere && m_anchor;
    if (startsHere && !m_anchor) {
        if (!record.first) {
            fail(sequence, invoice,
                 QStringLiteral("es el primer registro guardado y no lleva PrimerRegistro=S: "
                                "faltan los registros anteriores a él"));
            return false;
        }
    } else {
        const QString nif = linksToAnchor ? m_anchor->issuerNif : m_last.issuerNif;
        const QString numSerie = linksToAnchor ? m_anchor->numSerie : m_last.numSerie;
        const QString date = linksToAnchor ? m_anchor->issueDate : m_last.issueDate;
        const QString huella = linksToAnchor ? m_anchor->huella : m_last.huella;
        if (record.first) {
            fail(sequence, invoice,
                 QStringLiteral("lleva PrimerRegistro=S sin ser el primero: la cadena vuelve a "
                                "empezar tras el registro n.º %1")
                     .arg(expected - 1));
            return false;
        }
        if (record.previousNif.trimmed() != nif || record.previousNumSerie.trimmed() != numSerie ||
            record.previousDate.trimmed() != date || t.previousHuella.trimmed() != huella) {
            fail(sequence, invoice,
                 QStringLiteral("nombra como registro anterior la factura %1 con huella %2, y el "
                                "registro n.º %3 es la factura %4 con huella %5")
                     .arg(invoiceName(record.previousNumSerie.trimmed(),
                                      record.previousDate.trimmed()),
                          t.previousHuella.trimmed())
                     .arg(expected - 1)
                     .arg(invoiceName(numSerie, date), huella));
            return false;
        }
    }

    m_last = {sequence, t.issuerNif.trimmed(),  t.numSerie.trimmed(), t.issueDate.trimmed(),
              computed, t.generatedAt.trimmed()};
    ++m_count;
    return true;
}

std::optional<QDateTime> ChainVerifier::lastGeneratedAt() const {
    if (m_count == 0)
        return std::nullopt;
    return GenerationTime::parse(m_last.generatedAt);
}

QString ChainVerifier::summary() const {
    if (!m_fault)
        return QStringLiteral("Cadena correcta: %1 registros").arg(m_count);
    return QStringLiteral("Fallo en el registro n.º %1%2: %3")
        .arg(m_fault->sequence)
        .arg(m_fault->invoice.isEmpty() ? QString()
                                        : QStringLiteral(" (factura %1)").arg(m_fault->invoice),
             m_fault->message);
}
