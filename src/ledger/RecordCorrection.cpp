#include "ledger/RecordCorrection.h"

#include "book/BookDatabase.h"
#include "book/InvoiceBook.h"
#include "common/AppError.h"
#include "ledger/RecordStore.h"
#include "records/RecordBuilder.h"
#include "records/RecordReader.h"
#include "records/RecordText.h"

namespace RecordCorrection {

namespace {

bool answered(const StoredRecord& r) {
    return r.state == u"aceptado" || r.state == u"aceptado con errores" || r.state == u"rechazado";
}

QString named(const StoredRecord& r) {
    return QStringLiteral("«%1» (registro n.º %2, %3)")
        .arg(r.seriesNumber)
        .arg(r.sequence)
        .arg(r.state);
}

} // namespace

Flags forAlta(const std::optional<StoredRecord>& last, const BillingRecord& draft) {
    const QString invoice = RecordText::value(draft.invoice.numSerie);
    if (!last)
        throw AppError(QStringLiteral("La factura «%1» no tiene registro de facturación: no hay "
                                      "nada que subsanar. Emítala como una factura nueva")
                           .arg(invoice));
    if (last->kind == StoredRecord::Kind::Anulacion)
        throw AppError(QStringLiteral("La factura %1 está anulada: no se subsana una factura "
                                      "anulada. Emita una factura nueva")
                           .arg(named(*last)));
    if (!answered(*last))
        throw AppError(QStringLiteral("El último registro de la factura %1 aún no tiene respuesta "
                                      "de la Agencia Tributaria: envíelo y espere su respuesta "
                                      "antes de subsanarlo")
                           .arg(named(*last)));
    if (last->state == u"rechazado")
        return {true, PreviousRejection::NeverReceived, false};

    // The agency registered it: only what leaves the invoice's figures as they
    // were may be put right this way.
    const Fingerprint::RecordTexts before = RecordReader::read(last->bytes).fingerprinted;
    const Fingerprint::RecordTexts after = RecordBuilder::fingerprintTexts(draft);
    if (before.invoiceType != after.invoiceType || before.cuotaTotal != after.cuotaTotal ||
        before.importeTotal != after.importeTotal)
        throw AppError(
            QStringLiteral("La Agencia Tributaria ya aceptó la factura %1 con tipo %2, cuota %3 "
                           "e importe %4; la corregida dice tipo %5, cuota %6 e importe %7. Un "
                           "cambio de tipo o de importes no se subsana: necesita una factura "
                           "rectificativa. No se ha añadido ningún registro")
                .arg(named(*last), before.invoiceType, before.cuotaTotal, before.importeTotal,
                     after.invoiceType, after.cuotaTotal, after.importeTotal));
    return {true, PreviousRejection::None, false};
}

Flags forAnulacion(const std::optional<StoredRecord>& last) {
    if (!last)
        return {false, PreviousRejection::None, true};
    if (last->kind == StoredRecord::Kind::Alta)
        return {};
    if (last->state == u"rechazado")
        return {false, PreviousRejection::Rejected, false};
    throw AppError(QStringLiteral("La factura «%1» ya está anulada: su registro de anulación es el "
                                  "n.º %2 (%3)")
                       .arg(last->seriesNumber)
                       .arg(last->sequence)
                       .arg(last->generatedAt));
}

StoredRecord correct(BookDatabase& db, RecordLedger& ledger, const InvoiceRow& row,
                     BillingRecord draft) {
    const InvoiceSummary& summary = row.summary;
    const QString nif = RecordText::value(draft.invoice.issuerNif);
    const QString number = RecordText::value(draft.invoice.numSerie);
    if (nif != summary.issuerTaxId.trimmed() || number != summary.seriesNumber() ||
        draft.invoice.issueDate != summary.issueDate)
        throw AppError(QStringLiteral("El registro de facturación nombra la factura «%1» y se "
                                      "corrige la «%2»: no se ha guardado nada")
                           .arg(number, summary.seriesNumber()));

    BookDatabase::Transaction transaction(db);
    const RecordStore store(db);
    std::optional<StoredRecord> last = store.lastAbout(nif, number, draft.invoice.issueDate);
    if (last)
        store.each(last->chain, last->sequence, last->sequence, [&](const StoredRecord& r) {
            last = r;
            return false;
        });
    const Flags flags = forAlta(last, draft);
    draft.subsanacion = flags.subsanacion;
    draft.previousRejection = flags.previousRejection;
    std::optional<StoredRecord> stored;
    const InvoiceBook::IssueResult kept = InvoiceBook(db).replace(
        row, [&](qint64 invoiceId) { stored = ledger.append(draft, invoiceId); });
    using Outcome = InvoiceBook::IssueResult::Outcome;
    if (kept.outcome == Outcome::Conflict)
        throw AppError(QStringLiteral("La factura corregida «%1» choca con la «%2» del libro: no "
                                      "se ha guardado nada")
                           .arg(number, kept.entry.seriesNumber));
    if (kept.outcome == Outcome::Same)
        stored = ledger.append(draft, kept.entry.id);
    transaction.commit();
    return *stored;
}

} // namespace RecordCorrection
