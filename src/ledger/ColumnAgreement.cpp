#include "ledger/ColumnAgreement.h"

#include "records/RecordText.h"

namespace ColumnAgreement {

namespace {

QString differs(const char* column, const QString& stored, const QString& written) {
    return QStringLiteral("la columna %1 del libro dice «%2» y el registro, «%3»: el libro se ha "
                          "modificado fuera de Orvane")
        .arg(QLatin1String(column), stored, written);
}

} // namespace

QString problem(const StoredRecord& row, const ReadRecord& record, const QString& huella) {
    const Fingerprint::RecordTexts& t = record.fingerprinted;
    const bool anulacion = row.kind == StoredRecord::Kind::Anulacion;
    if (anulacion != t.anulacion)
        return differs("kind", row.kindText(),
                       t.anulacion ? QStringLiteral("anulación") : QStringLiteral("alta"));
    if (row.chain.issuerNif != t.issuerNif.trimmed())
        return differs("issuer_nif", row.chain.issuerNif, t.issuerNif.trimmed());
    if (row.seriesNumber != t.numSerie.trimmed())
        return differs("series_number", row.seriesNumber, t.numSerie.trimmed());
    const QString date = RecordText::date(row.issueDate);
    if (date != t.issueDate.trimmed())
        return differs("issue_date", date, t.issueDate.trimmed());
    if (row.generatedAt != t.generatedAt.trimmed())
        return differs("generated_at", row.generatedAt, t.generatedAt.trimmed());
    if (row.huella != huella)
        return differs("huella", row.huella, huella);
    if (row.previousHuella != t.previousHuella.trimmed())
        return differs("previous_huella", row.previousHuella, t.previousHuella.trimmed());
    return {};
}

ChainVerifier::Agreement with(const StoredRecord& row) {
    return [&row](const ReadRecord& record, const QString& huella) {
        return problem(row, record, huella);
    };
}

} // namespace ColumnAgreement
