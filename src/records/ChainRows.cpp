#include "records/ChainRows.h"

#include "records/EventReader.h"
#include "records/GenerationTime.h"
#include "records/RecordReader.h"

namespace {

QString invoiceKey(const QString& nif, const QString& numSerie, const QString& date) {
    return nif.trimmed() + u'|' + numSerie.trimmed() + u'|' + date.trimmed();
}

QString eventKey(const QString& type, const QString& generatedAt) {
    return type.trimmed() + u'|' + generatedAt.trimmed();
}

// Whether row names before as the row before it.
bool links(const ChainRow& before, const ChainRow& row) {
    return !row.first && !before.huella.isEmpty() && row.previousHuella == before.huella &&
           row.previousName == before.name;
}

bool inOrder(const ChainRow& earlier, const ChainRow& later) {
    return earlier.generatedAt && later.generatedAt && *earlier.generatedAt <= *later.generatedAt;
}

} // namespace

ChainRow ChainRow::of(qint64 sequence, const ReadRecord& r) {
    const Fingerprint::RecordTexts& t = r.fingerprinted;
    ChainRow row;
    row.sequence = sequence;
    row.huella = Fingerprint::of(Fingerprint::input(t));
    row.name = invoiceKey(t.issuerNif, t.numSerie, t.issueDate);
    row.intact = r.tipoHuella.trimmed() == u"01" && r.huella.trimmed() == row.huella;
    row.first = r.first;
    row.previousHuella = t.previousHuella.trimmed();
    row.previousName = invoiceKey(r.previousNif, r.previousNumSerie, r.previousDate);
    row.generatedAt = GenerationTime::parse(t.generatedAt.trimmed());
    return row;
}

ChainRow ChainRow::of(qint64 sequence, const ReadEvent& e) {
    const Fingerprint::EventTexts& t = e.fingerprinted;
    ChainRow row;
    row.sequence = sequence;
    row.huella = Fingerprint::of(Fingerprint::input(t));
    row.name = eventKey(t.eventType, t.generatedAt);
    row.intact = e.tipoHuella.trimmed() == u"01" && e.huella.trimmed() == row.huella;
    row.first = e.first;
    row.previousHuella = t.previousHuella.trimmed();
    row.previousName = eventKey(e.previousType, e.previousGeneratedAt);
    row.generatedAt = GenerationTime::parse(t.generatedAt.trimmed());
    return row;
}

QString RowCheck::linkText() const {
    return linkOk() ? QStringLiteral("enlace correcto") : QStringLiteral("enlace incorrecto");
}

QString RowCheck::orderText() const {
    return orderOk() ? QStringLiteral("orden temporal correcto")
                     : QStringLiteral("orden temporal incorrecto");
}

namespace ChainRows {

QList<RowCheck> check(const QList<ChainRow>& rows, const std::optional<ChainRow>& before) {
    QList<RowCheck> out(rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ChainRow& row = rows[i];
        RowCheck& c = out[i];
        c.intact = row.intact;
        const ChainRow* previous = i > 0 ? &rows[i - 1] : before ? &*before : nullptr;
        if (previous) {
            c.linkBack = links(*previous, row);
            c.orderBack = inOrder(*previous, row);
        } else {
            c.linkBack = row.first;
            c.orderBack = row.generatedAt.has_value();
        }
        if (i + 1 < rows.size()) {
            c.linkForward = links(row, rows[i + 1]);
            c.orderForward = inOrder(row, rows[i + 1]);
        } else {
            c.linkForward = true;
            c.orderForward = row.generatedAt.has_value();
        }
    }
    return out;
}

} // namespace ChainRows
