#pragma once

// Invoices issued with their billing records for the ledger's tests: rows
// of the book and the records' drafts made from the same figures, a producer
// whose data is complete, and a clock the test moves.

#include "DecimalTestKit.h"
#include "book/BookDatabase.h"
#include "book/BookRows.h"
#include "book/SqlStatement.h"
#include "ledger/RecordLedger.h"
#include "records/ProducerData.h"

#include <QProcess>
#include <QStandardPaths>

namespace LedgerFixture {

inline const QString Issuer = QStringLiteral("89890001K");
inline const QString IssuerName = QStringLiteral("Ferretería Ñandú, S.L.");

inline ProducerData producer() {
    return ProducerData::fromJson(R"({"producer": {"name": "Productora de Pruebas, S.L.",
                                      "taxId": "B12345674"},
                                      "system": {"name": "Orvane", "id": "OV"}})",
                                  QStringLiteral("1.0.1.0"));
}

inline QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

// A clock that stands still until the test moves it.
struct FakeClock {
    QDateTime now = utc(2027, 3, 5, 9, 0);
    GenerationTime::Clock clock() {
        return [this] { return now; };
    }
};

inline RecordLedger::Options options(FakeClock& clock) {
    return {clock.clock(), producer(), {}};
}

// One line of the breakdown: treatment, rate, base (the tax follows).
struct Part {
    VatTreatment treatment;
    const char* rate;
    const char* base;
};

inline Decimal quotaOf(const Part& p) {
    if (p.treatment != VatTreatment::S1)
        return Decimal();
    return Decimal::percentOf(D(p.base), D(p.rate), 2);
}

inline qint64 cents(const Decimal& d) {
    return d.plainText(2, 2).remove(QLatin1Char('.')).toLongLong();
}

// An invoice of series A as the book keeps it.
inline InvoiceRow invoice(const QString& number,
                          const QList<Part>& parts = {{VatTreatment::S1, "21", "100.00"}},
                          const QDate& date = QDate(2027, 3, 5)) {
    InvoiceRow row;
    InvoiceSummary& s = row.summary;
    s.issuerTaxId = Issuer;
    s.series = QStringLiteral("A");
    s.number = number;
    s.issueDate = date;
    s.customerTaxId = QStringLiteral("89890002E");
    s.customerName = QStringLiteral("Construcciones Lérez, S.A.");
    for (const Part& p : parts) {
        const Decimal quota = quotaOf(p);
        s.baseCents += cents(D(p.base));
        s.vatCents += cents(quota);
        row.vatGroups.append({D(p.rate).plainText(2, 2), cents(D(p.base)), cents(quota)});
    }
    s.totalCents = s.baseCents + s.vatCents;
    row.value = QStringLiteral("[DATOS_GENERALES]\nFACTURA=%1\n").arg(number);
    row.document = QStringLiteral("<Facturae><Numero>A-%1</Numero><Total>%2</Total></Facturae>")
                       .arg(number)
                       .arg(s.totalCents)
                       .toUtf8();
    row.fileName = number + QStringLiteral(".XML");
    return row;
}

// The alta of that invoice, with the same figures.
inline BillingRecord alta(const InvoiceRow& row,
                          const QList<Part>& parts = {{VatTreatment::S1, "21", "100.00"}},
                          Territory territory = Territory::Peninsula) {
    BillingRecord r;
    r.invoice = {row.summary.issuerTaxId, row.summary.seriesNumber(), row.summary.issueDate};
    r.issuerName = IssuerName;
    r.description = QStringLiteral("Tornillos, tuercas y arandelas");
    r.recipients = {{row.summary.customerName, row.summary.customerTaxId, {}, {}, {}}};
    for (const Part& p : parts)
        r.details.append({p.treatment, D(p.rate), D(p.base), quotaOf(p)});
    r.territory = territory;
    return r;
}

// Issues invoice number with its record.
inline RecordLedger::Issued issue(RecordLedger& ledger, const QString& number,
                                  const QList<Part>& parts = {{VatTreatment::S1, "21", "100.00"}}) {
    const InvoiceRow row = invoice(number, parts);
    return ledger.issue(row, alta(row, parts));
}

// One integer answer of the book.
inline qint64 count(const BookDatabase& db, const char* sql) {
    SqlStatement select(db, sql);
    return select.next() ? select.integer(0) : -1;
}

// Runs SQL with the sqlite3 program, as a person (or an attacker) would;
// what it printed, errors included. Fails the test when it is missing.
inline QString sqlite(const QString& database, const QString& sql) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (program.isEmpty())
        qFatal("the sqlite3 program is needed (Debian package sqlite3)");
    QProcess process;
    process.start(program, {QStringLiteral("-bail"), database});
    process.write(sql.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

} // namespace LedgerFixture
