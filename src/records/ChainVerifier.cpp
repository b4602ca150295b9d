#include "records/ChainVerifier.h"

#include "common/AppError.h"
#include "records/GenerationTime.h"
#include "records/RecordText.h"

namespace {

QString invoiceName(const QString& numSerie, const QString& date) {
    return QStringLiteral("%1 de %2").arg(numSerie, date);
}

constexpr ChainCheck::Words RecordWords = {"registro", "PrimerRegistro", "FechaHoraHusoGenRegistro",
                                           "Cadena correcta: %1 registros", " (factura %1)"};

} // namespace

ChainVerifier::ChainVerifier(std::optional<ChainAnchor> anchor)
    : ChainCheck(RecordWords, anchor ? std::optional<qint64>(anchor->sequence) : std::nullopt),
      m_anchor(std::move(anchor)) {}

ChainVerifier::Examined ChainVerifier::examine(const QByteArray& bytes) {
    Examined examined;
    try {
        examined.record = RecordReader::read(bytes);
        examined.huella = Fingerprint::of(Fingerprint::input(examined.record->fingerprinted));
    } catch (const AppError& e) {
        examined.record.reset();
        examined.unreadable = e.message();
    }
    return examined;
}

bool ChainVerifier::add(qint64 sequence, const QByteArray& bytes, const Agreement& agreement) {
    return add(sequence, examine(bytes), agreement);
}

bool ChainVerifier::add(qint64 sequence, const Examined& examined, const Agreement& agreement) {
    if (!inSequence(sequence))
        return false;
    if (!examined.record) {
        fail(QString(), QStringLiteral("el registro no se puede leer: %1").arg(examined.unreadable),
             AnomalyType::OtherIntegrity);
        return false;
    }
    const ReadRecord& record = *examined.record;
    const Fingerprint::RecordTexts& t = record.fingerprinted;
    const QString invoice = record.invoiceText();
    const QString& computed = examined.huella;
    if (!intact(invoice, record.tipoHuella, record.huella, computed, t.generatedAt))
        return false;
    if (agreement) {
        if (const QString problem = agreement(record, computed); !problem.isEmpty()) {
            fail(invoice, problem, AnomalyType::OtherIntegrity);
            return false;
        }
    }
    if (!t.anulacion) {
        const auto cuota = RecordText::readAmount(t.cuotaTotal);
        const auto total = RecordText::readAmount(t.importeTotal);
        if (!cuota || !total || !record.detailQuota || !record.detailTotal) {
            fail(invoice, QStringLiteral("un importe del registro no es un número"),
                 AnomalyType::OtherIntegrity);
            return false;
        }
        if (*cuota != *record.detailQuota || *total != *record.detailTotal) {
            fail(invoice,
                 QStringLiteral("el desglose suma una cuota de %1 y un importe de %2, y el "
                                "registro declara CuotaTotal %3 e ImporteTotal %4: el registro "
                                "se ha modificado")
                     .arg(record.detailQuota->plainText(2, 2), record.detailTotal->plainText(2, 2),
                          t.cuotaTotal.trimmed(), t.importeTotal.trimmed()),
                 AnomalyType::OtherIntegrity);
            return false;
        }
    }

    // The link: the first record of a book is marked first; every other one
    // names the record before it.
    if (!markedFirstRightly(invoice, record.first))
        return false;
    if (!startsHere() || m_anchor) {
        const bool linksToAnchor = afterAnchor();
        const QString nif = linksToAnchor ? m_anchor->issuerNif : m_last.issuerNif;
        const QString numSerie = linksToAnchor ? m_anchor->numSerie : m_last.numSerie;
        const QString date = linksToAnchor ? m_anchor->issueDate : m_last.issueDate;
        const QString huella = linksToAnchor ? m_anchor->huella : m_last.huella;
        if (record.previousNif.trimmed() != nif || record.previousNumSerie.trimmed() != numSerie ||
            record.previousDate.trimmed() != date || t.previousHuella.trimmed() != huella) {
            fail(invoice,
                 QStringLiteral("nombra como registro anterior la factura %1 con huella %2, y el "
                                "registro n.º %3 es la factura %4 con huella %5")
                     .arg(invoiceName(record.previousNumSerie.trimmed(),
                                      record.previousDate.trimmed()),
                          t.previousHuella.trimmed())
                     .arg(previousSequence())
                     .arg(invoiceName(numSerie, date), huella),
                 AnomalyType::PreviousHuellaMismatch);
            return false;
        }
    }

    m_last = {t.issuerNif.trimmed(), t.numSerie.trimmed(), t.issueDate.trimmed(), computed,
              t.generatedAt.trimmed()};
    passed();
    return true;
}

std::optional<QDateTime> ChainVerifier::lastGeneratedAt() const {
    if (count() == 0)
        return std::nullopt;
    return GenerationTime::parse(m_last.generatedAt);
}
