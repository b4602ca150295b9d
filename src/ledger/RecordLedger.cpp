#include "ledger/RecordLedger.h"

#include "book/BookDatabase.h"
#include "ledger/ColumnAgreement.h"
#include "ledger/RecordCorrection.h"
#include "ledger/RecordStore.h"
#include "records/ChainVerifier.h"
#include "records/RecordBuilder.h"
#include "records/RecordRules.h"
#include "records/RecordText.h"

#include <QUuid>

namespace {

const QString InstallationKey = QStringLiteral("installation_number");

// What the next record needs of the chain's last one: where it links to and
// when it was made.
struct Head {
    ChainLink link;
    QDateTime generatedAt;
};

// The last record must be whole before another is chained to it: its
// fingerprint, totals and columns are checked again (the rest of the chain
// is the check's work, at start and on demand).
Head checkedHead(const StoredRecord& head) {
    std::optional<ChainAnchor> anchor;
    try {
        const ReadRecord r = RecordReader::read(head.bytes);
        if (!r.first)
            anchor = ChainAnchor{head.sequence - 1, r.previousNif.trimmed(),
                                 r.previousNumSerie.trimmed(), r.previousDate.trimmed(),
                                 r.fingerprinted.previousHuella.trimmed()};
    } catch (const AppError&) {
        // The check below says why it cannot be read.
    }
    ChainVerifier verifier(anchor);
    if (!verifier.add(head.sequence, head.bytes, ColumnAgreement::with(head)))
        throw AppError(QStringLiteral("El último registro de facturación del libro está dañado "
                                      "(%1). No se puede encadenar otro registro a él: no se ha "
                                      "emitido nada. Compruebe la cadena con «orvane-cli records "
                                      "verify» y guarde una copia del libro")
                           .arg(verifier.summary()));
    const InvoiceId previous{head.chain.issuerNif, head.seriesNumber, head.issueDate};
    return {ChainLink::after(previous, verifier.lastHuella()), *verifier.lastGeneratedAt()};
}

} // namespace

RecordLedger::RecordLedger(BookDatabase& db, Options options)
    : m_db(db), m_clock(options.clock ? std::move(options.clock) : GenerationTime::systemClock()),
      m_producer(options.producer ? std::move(*options.producer) : ProducerData::builtIn()),
      m_signer(std::move(options.signer)) {}

QString RecordLedger::installationNumber() {
    const QString kept = m_db.property(InstallationKey);
    if (!kept.isNull())
        return kept;
    return m_db.propertyOnce(InstallationKey, QUuid::createUuid().toString(QUuid::WithoutBraces));
}

StoredRecord RecordLedger::append(BillingRecord draft, std::optional<qint64> invoiceId) {
    BookDatabase::Transaction transaction(m_db);
    // Read once the book is ours: another program's record is then the head.
    const QDateTime now = m_clock();
    const RecordStore store(m_db);
    const ChainKey chain{RecordText::value(draft.invoice.issuerNif), installationNumber()};

    const std::optional<StoredRecord> last = store.last(chain);
    if (last) {
        const Head head = checkedHead(*last);
        RecordRules::requireClockNotBehind(head.generatedAt, now);
        draft.chain = head.link;
    } else if (!store.isEmpty()) {
        const ChainKey other = store.chains().first();
        throw AppError(QStringLiteral("El libro de facturas ya guarda la cadena de registros de "
                                      "facturación del NIF %1 (instalación %2), y la factura "
                                      "«%3» es del NIF %4 o de otra instalación: Orvane no "
                                      "empieza una cadena nueva al lado de otra. Un libro es de "
                                      "un solo obligado tributario; revise el NIF de Mis datos")
                           .arg(other.issuerNif, other.installation,
                                RecordText::value(draft.invoice.numSerie), chain.issuerNif));
    } else {
        draft.chain = ChainLink::start();
    }
    draft.system = m_producer.softwareSystem(chain.installation);
    draft.generatedAt = now;
    RecordRules::require(draft, GenerationTime::localDate(now, draft.territory));
    const BuiltRecord built = RecordBuilder::build(draft);

    StoredRecord row;
    row.sequence = last ? last->sequence + 1 : 1;
    row.chain = chain;
    row.kind = draft.kind == BillingRecord::Kind::Alta ? StoredRecord::Kind::Alta
                                                       : StoredRecord::Kind::Anulacion;
    row.invoiceId = invoiceId;
    row.seriesNumber = RecordText::value(draft.invoice.numSerie);
    row.issueDate = draft.invoice.issueDate;
    row.generatedAt = GenerationTime::text(now, draft.territory);
    row.huella = built.huella;
    row.previousHuella = draft.chain.first ? QString() : draft.chain.previousHuella;
    row.state = QStringLiteral("pendiente");
    row.bytes = m_signer ? m_signer.sign(built.xml, RecordSigner::Kind::Record, now) : built.xml;
    store.insert(row);
    transaction.commit();
    return row;
}

RecordLedger::Issued RecordLedger::issue(const InvoiceRow& row, const BillingRecord& draft) {
    const InvoiceSummary& s = row.summary;
    if (RecordText::value(draft.invoice.issuerNif) != s.issuerTaxId.trimmed() ||
        RecordText::value(draft.invoice.numSerie) != s.seriesNumber() ||
        draft.invoice.issueDate != s.issueDate)
        throw AppError(QStringLiteral("El registro de facturación nombra la factura «%1» del %2 "
                                      "y se emite la «%3» del %4: no se ha guardado nada")
                           .arg(draft.invoice.numSerie, RecordText::date(draft.invoice.issueDate),
                                s.seriesNumber(), RecordText::date(s.issueDate)));
    Issued issued;
    issued.invoice = InvoiceBook(m_db).issue(
        row, [&](qint64 invoiceId) { issued.record = append(draft, invoiceId); });
    return issued;
}

StoredRecord RecordLedger::cancel(const QString& issuerNif, const QString& seriesNumber,
                                  Territory territory) {
    BookDatabase::Transaction transaction(m_db);
    InvoiceBook book(m_db);
    const std::optional<BookEntry> entry = book.find(issuerNif, seriesNumber);
    if (!entry)
        throw AppError(QStringLiteral("La factura «%1» del NIF %2 no está en el libro de facturas: "
                                      "escriba la serie y el número como los muestra la lista "
                                      "del libro; no se ha anulado nada")
                           .arg(seriesNumber, issuerNif));
    const std::optional<StoredRecord> last =
        RecordStore(m_db).lastAbout(issuerNif, entry->seriesNumber, entry->summary.issueDate);
    const RecordCorrection::Flags flags = RecordCorrection::forAnulacion(last);

    BillingRecord draft;
    draft.kind = BillingRecord::Kind::Anulacion;
    draft.invoice = {issuerNif, entry->seriesNumber, entry->summary.issueDate};
    draft.territory = territory;
    draft.withoutPriorRecord = flags.withoutPriorRecord;
    draft.previousRejection = flags.previousRejection;
    const StoredRecord stored = append(draft, entry->id);
    book.addHistory(entry->id, HistoryKind::Cancelled,
                    QStringLiteral("Registro de anulación n.º %1").arg(stored.sequence));
    transaction.commit();
    return stored;
}
