#include "../records/RecordTestKit.h"
#include "LedgerFixture.h"

#include "book/InvoiceBook.h"
#include "ledger/LedgerCheck.h"
#include "ledger/RecordStore.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace LedgerFixture;

// One step of a test's book: an invoice issued with its record, issued
// without one (before a mode was chosen), or cancelled.
struct Step {
    enum Kind { Issue, IssueWithoutRecord, Cancel } kind;
    QString number;
    QList<Part> parts = {{VatTreatment::S1, "21", "100.00"}};
};
Q_DECLARE_METATYPE(QList<Step>)
Q_DECLARE_METATYPE(Territory)

using Draft = std::function<void(InvoiceRow&, BillingRecord&)>;
Q_DECLARE_METATYPE(Draft)

// The chain of billing records kept in the book: every record schema-valid
// and linked to the one before, the invoice and its record written together
// or not at all, the rules and the clock checked before anything is written,
// and a damaged head or a second chain refused.
class tst_RecordLedger : public QObject {
    Q_OBJECT
private slots:
    void init();
    void storedChains_data();
    void storedChains();
    void refusedBeforeAnythingIsWritten_data();
    void refusedBeforeAnythingIsWritten();
    void clockSetBack_data();
    void clockSetBack();
    void generationTimes_data();
    void generationTimes();
    void damagedHeadStopsIssuing_data();
    void damagedHeadStopsIssuing();
    void neverASecondChain();
    void sameDocumentMakesNoSecondRecord();
    void installationNumberMadeOncePerBook();
    void cancel_data();
    void cancel();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BookDatabase> m_db;
    FakeClock m_clock;

    QString bookPath() const { return m_db->path(); }
    QList<StoredRecord> records() const {
        QList<StoredRecord> all;
        const RecordStore store(*m_db);
        for (const ChainKey& chain : store.chains())
            store.each(chain, [&](const StoredRecord& r) {
                all << r;
                return true;
            });
        return all;
    }
    qint64 invoices() const { return count(*m_db, "SELECT count(*) FROM invoices"); }
};

void tst_RecordLedger::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = BookDatabase::open(m_dir->path());
    m_clock = FakeClock();
}

void tst_RecordLedger::storedChains_data() {
    QTest::addColumn<QList<Step>>("steps");
    using T = VatTreatment;
    QTest::newRow("one ordinary invoice") << QList<Step>{{Step::Issue, "1"}};
    QTest::newRow("every VAT treatment in one invoice") << QList<Step>{{Step::Issue,
                                                                        "1",
                                                                        {{T::S1, "21", "100.00"},
                                                                         {T::S1, "10", "50.25"},
                                                                         {T::S1, "0", "10.00"},
                                                                         {T::S2, "0", "200.00"},
                                                                         {T::E1, "0", "30.00"},
                                                                         {T::E2, "0", "31.00"},
                                                                         {T::E3, "0", "32.00"},
                                                                         {T::E4, "0", "33.00"},
                                                                         {T::E5, "0", "34.00"},
                                                                         {T::E6, "0", "35.00"},
                                                                         {T::N1, "0", "20.00"},
                                                                         {T::N2, "0", "25.00"}}}};
    QTest::newRow("three invoices, each of other treatments")
        << QList<Step>{{Step::Issue, "1", {{T::S1, "4", "19.99"}}},
                       {Step::Issue, "2", {{T::S2, "0", "1000.00"}, {T::S1, "21", "-5.00"}}},
                       {Step::Issue, "3", {{T::E1, "0", "60.00"}, {T::N2, "0", "12.34"}}}};
    QTest::newRow("an invoice cancelled after the next one")
        << QList<Step>{{Step::Issue, "1"}, {Step::Issue, "2"}, {Step::Cancel, "1"}};
    QTest::newRow("an invoice issued before records, cancelled with them")
        << QList<Step>{{Step::IssueWithoutRecord, "1"}, {Step::Issue, "2"}, {Step::Cancel, "1"}};
}

void tst_RecordLedger::storedChains() {
    QFETCH(QList<Step>, steps);
    RecordLedger ledger(*m_db, options(m_clock));
    QList<std::optional<qint64>> invoiceOfRecord;
    for (const Step& step : steps) {
        m_clock.now = m_clock.now.addSecs(60);
        const InvoiceRow row = invoice(step.number, step.parts);
        switch (step.kind) {
        case Step::Issue: {
            const RecordLedger::Issued issued = ledger.issue(row, alta(row, step.parts));
            QCOMPARE(issued.invoice.outcome, InvoiceBook::IssueResult::Outcome::Issued);
            QVERIFY(issued.record);
            QCOMPARE(issued.record->invoiceId, std::optional<qint64>(issued.invoice.entry.id));
            invoiceOfRecord << issued.invoice.entry.id;
            break;
        }
        case Step::IssueWithoutRecord:
            InvoiceBook(*m_db).issue(row);
            break;
        case Step::Cancel: {
            const StoredRecord cancelled =
                ledger.cancel(Issuer, row.summary.seriesNumber(), Territory::Peninsula);
            invoiceOfRecord << InvoiceBook(*m_db).find(Issuer, row.summary.seriesNumber())->id;
            QCOMPARE(cancelled.invoiceId, invoiceOfRecord.last());
            break;
        }
        }
    }

    const QList<StoredRecord> stored = records();
    QCOMPARE(stored.size(), invoiceOfRecord.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const StoredRecord& r = stored[i];
        const QStringList errors = RecordTestKit::schemaErrors(r.bytes);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n') + u'\n' + r.bytes));
        QCOMPARE(r.sequence, i + 1);
        QCOMPARE(r.invoiceId, invoiceOfRecord[i]);
        QCOMPARE(r.state, QStringLiteral("pendiente"));
        if (i == 0) {
            QVERIFY(r.bytes.contains("<sum1:PrimerRegistro>S</sum1:PrimerRegistro>"));
            QCOMPARE(r.previousHuella, QString());
        } else {
            QCOMPARE(r.previousHuella, stored[i - 1].huella);
            QVERIFY(r.bytes.contains("<sum1:Huella>" + stored[i - 1].huella.toLatin1() +
                                     "</sum1:Huella>"));
        }
    }
    const LedgerCheckReport check = LedgerCheck::run(*m_db);
    QCOMPARE(check.chains.size(), 1);
    QVERIFY2(check.ok(), qPrintable(check.chains.first().summary));
    QCOMPARE(check.chains.first().count, stored.size());
    QCOMPARE(check.chains.first().lastHuella, stored.last().huella);
}

void tst_RecordLedger::refusedBeforeAnythingIsWritten_data() {
    QTest::addColumn<Draft>("change");
    QTest::addColumn<QString>("says");
    QTest::newRow("NumSerieFactura with <") << Draft([](InvoiceRow& row, BillingRecord& r) {
        row.summary.number = QStringLiteral("1<2");
        r.invoice.numSerie = row.summary.seriesNumber();
    }) << "NumSerieFactura (factura): «A-1<2» lleva el carácter «<»";
    QTest::newRow("NumSerieFactura of 61 characters")
        << Draft([](InvoiceRow& row, BillingRecord& r) {
               row.summary.number = QString(59, u'7');
               r.invoice.numSerie = row.summary.seriesNumber();
           })
        << "tiene 61 caracteres";
    QTest::newRow("issued tomorrow") << Draft([](InvoiceRow& row, BillingRecord& r) {
        row.summary.issueDate = r.invoice.issueDate = QDate(2027, 3, 6);
    }) << "FechaExpedicionFactura: la fecha 06-03-2027 es posterior a hoy (05-03-2027)";
    QTest::newRow("issued before the tax agency takes records")
        << Draft([](InvoiceRow& row, BillingRecord& r) {
               row.summary.issueDate = r.invoice.issueDate = QDate(2024, 10, 27);
           })
        << "anterior al 28-10-2024";
    QTest::newRow("13 VAT details") << Draft([](InvoiceRow&, BillingRecord& r) {
        while (r.details.size() < 13)
            r.details.append(r.details.first());
    }) << "combina 13 tipos";
    QTest::newRow("a rate of three decimals")
        << Draft([](InvoiceRow&, BillingRecord& r) { r.details.first().rate = D("21.125"); })
        << "más de dos decimales";
    QTest::newRow("an amount of 13 integer digits") << Draft([](InvoiceRow&, BillingRecord& r) {
        r.details.first().base = D("1000000000000.00");
    }) << "doce cifras enteras";
    QTest::newRow("issuer's tax id not valid") << Draft([](InvoiceRow& row, BillingRecord& r) {
        row.summary.issuerTaxId = r.invoice.issuerNif = QStringLiteral("89890001A");
    }) << "IDEmisorFactura (factura)";
    QTest::newRow("the record names another invoice")
        << Draft([](InvoiceRow&, BillingRecord& r) { r.invoice.numSerie = QStringLiteral("A-9"); })
        << "nombra la factura «A-9»";
}

void tst_RecordLedger::refusedBeforeAnythingIsWritten() {
    QFETCH(Draft, change);
    QFETCH(QString, says);
    RecordLedger ledger(*m_db, options(m_clock));
    InvoiceRow row = invoice(QStringLiteral("1"));
    BillingRecord draft = alta(row);
    change(row, draft);
    try {
        ledger.issue(row, draft);
        QFAIL("issued");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    }
    QCOMPARE(invoices(), 0);
    QVERIFY(records().isEmpty());
}

void tst_RecordLedger::clockSetBack_data() {
    QTest::addColumn<int>("seconds"); // the clock against the last record
    QTest::addColumn<bool>("issued");
    QTest::newRow("2 minutes behind") << -120 << false;
    QTest::newRow("61 seconds behind") << -61 << false;
    QTest::newRow("a minute behind: clocks differ") << -60 << true;
    QTest::newRow("an hour ahead") << 3600 << true;
}

void tst_RecordLedger::clockSetBack() {
    QFETCH(int, seconds);
    QFETCH(bool, issued);
    RecordLedger ledger(*m_db, options(m_clock));
    issue(ledger, QStringLiteral("1"));
    const QDateTime last = m_clock.now;
    m_clock.now = last.addSecs(seconds);
    if (issued) {
        QVERIFY(issue(ledger, QStringLiteral("2")).record);
        QCOMPARE(records().size(), 2);
        QVERIFY(LedgerCheck::run(*m_db).ok());
        return;
    }
    try {
        issue(ledger, QStringLiteral("2"));
        QFAIL("issued with the clock set back");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("El último registro de facturación se "
                                                       "generó el 05/03/2027 10:00:00")),
                 qPrintable(e.message()));
    }
    QCOMPARE(invoices(), 1);
    QCOMPARE(records().size(), 1);
}

void tst_RecordLedger::generationTimes_data() {
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<Territory>("territory");
    QTest::addColumn<QString>("written");
    // Summer time begins at 01:00 UTC on 28 March 2027.
    const QDateTime before = utc(2027, 3, 28, 0, 59);
    const QDateTime after = utc(2027, 3, 28, 1, 0);
    QTest::newRow("Madrid 01:59") << before << Territory::Peninsula << "2027-03-28T01:59:00+01:00";
    QTest::newRow("Madrid 03:00") << after << Territory::Peninsula << "2027-03-28T03:00:00+02:00";
    QTest::newRow("Canarias 00:59") << before << Territory::Canarias << "2027-03-28T00:59:00+00:00";
    QTest::newRow("Canarias 02:00") << after << Territory::Canarias << "2027-03-28T02:00:00+01:00";
}

void tst_RecordLedger::generationTimes() {
    QFETCH(QDateTime, now);
    QFETCH(Territory, territory);
    QFETCH(QString, written);
    m_clock.now = now;
    RecordLedger ledger(*m_db, options(m_clock));
    const InvoiceRow row =
        invoice(QStringLiteral("1"), {{VatTreatment::S1, "21", "100.00"}}, QDate(2027, 3, 28));
    const StoredRecord r =
        *ledger.issue(row, alta(row, {{VatTreatment::S1, "21", "100.00"}}, territory)).record;
    QCOMPARE(r.generatedAt, written);
    QVERIFY(r.bytes.contains("<sum1:FechaHoraHusoGenRegistro>" + written.toLatin1() + '<'));
    // The fingerprint is taken over that same text.
    QVERIFY2(LedgerCheck::run(*m_db).ok(), qPrintable(LedgerCheck::run(*m_db).chains[0].summary));
}

void tst_RecordLedger::damagedHeadStopsIssuing_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("says");
    QTest::newRow("an amount of the last record edited")
        << "UPDATE billing_records SET bytes = replace(bytes, '>121.00<', '>12.10<') "
           "WHERE sequence = 2;"
        << "la huella guardada";
    QTest::newRow("the last record's fingerprint column changed")
        << "UPDATE billing_records SET huella = replace(huella, substr(huella, 1, 1), 'X') "
           "WHERE sequence = 2;"
        << "la columna huella del libro";
    QTest::newRow("the last record cut short")
        << "UPDATE billing_records SET bytes = substr(bytes, 1, 300) WHERE sequence = 2;"
        << "no se puede leer";
}

void tst_RecordLedger::damagedHeadStopsIssuing() {
    QFETCH(QString, sql);
    QFETCH(QString, says);
    RecordLedger ledger(*m_db, options(m_clock));
    issue(ledger, QStringLiteral("1"));
    issue(ledger, QStringLiteral("2"));
    m_db.reset();
    const QString out = sqlite(QDir(m_dir->path()).filePath(QStringLiteral("Libro.db")),
                               "DROP TRIGGER billing_records_fixed; " + sql);
    QVERIFY2(out.isEmpty(), qPrintable(out));
    m_db = BookDatabase::open(m_dir->path());
    RecordLedger again(*m_db, options(m_clock));
    try {
        issue(again, QStringLiteral("3"));
        QFAIL("chained to a damaged record");
    } catch (const AppError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("El último registro de facturación del "
                                                       "libro está dañado (Fallo en el registro "
                                                       "n.º 2")),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(says), qPrintable(e.message()));
    }
    QCOMPARE(invoices(), 2);
    QCOMPARE(records().size(), 2);
}

void tst_RecordLedger::neverASecondChain() {
    RecordLedger ledger(*m_db, options(m_clock));
    issue(ledger, QStringLiteral("1"));

    // Another taxpayer in the same book.
    InvoiceRow other = invoice(QStringLiteral("1"));
    other.summary.issuerTaxId = QStringLiteral("89890002E");
    try {
        ledger.issue(other, alta(other));
        QFAIL("a second chain was started");
    } catch (const AppError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("no empieza una cadena nueva")),
                 qPrintable(e.message()));
    }

    // The book's installation number lost: its chain is the one there.
    m_db.reset();
    sqlite(QDir(m_dir->path()).filePath(QStringLiteral("Libro.db")),
           "UPDATE book SET value = 'otra' WHERE key = 'installation_number';");
    m_db = BookDatabase::open(m_dir->path());
    RecordLedger again(*m_db, options(m_clock));
    QVERIFY_THROWS_EXCEPTION(AppError, issue(again, QStringLiteral("2")));
    QCOMPARE(invoices(), 1);
    QCOMPARE(records().size(), 1);
    QCOMPARE(count(*m_db, "SELECT count(*) FROM billing_records WHERE previous_huella = ''"), 1);
}

void tst_RecordLedger::sameDocumentMakesNoSecondRecord() {
    RecordLedger ledger(*m_db, options(m_clock));
    issue(ledger, QStringLiteral("1"));
    m_clock.now = m_clock.now.addSecs(60);
    const RecordLedger::Issued again = issue(ledger, QStringLiteral("1"));
    QCOMPARE(again.invoice.outcome, InvoiceBook::IssueResult::Outcome::Same);
    QVERIFY(!again.record);

    // Another document under the same number is a conflict: nothing written.
    const InvoiceRow changed = invoice(QStringLiteral("1"), {{VatTreatment::S1, "21", "90.00"}});
    const RecordLedger::Issued conflict =
        ledger.issue(changed, alta(changed, {{VatTreatment::S1, "21", "90.00"}}));
    QCOMPARE(conflict.invoice.outcome, InvoiceBook::IssueResult::Outcome::Conflict);
    QVERIFY(!conflict.record);
    QCOMPARE(records().size(), 1);
}

void tst_RecordLedger::installationNumberMadeOncePerBook() {
    const QString number = RecordLedger(*m_db, options(m_clock)).installationNumber();
    QVERIFY(!number.isEmpty());
    m_db = BookDatabase::open(m_dir->path());
    RecordLedger ledger(*m_db, options(m_clock));
    QCOMPARE(ledger.installationNumber(), number);
    const StoredRecord r = *issue(ledger, QStringLiteral("1")).record;
    QCOMPARE(r.chain.installation, number);
    QVERIFY(r.bytes.contains("<sum1:NumeroInstalacion>" + number.toLatin1() + '<'));

    // Another book is another installation.
    QTemporaryDir other;
    QVERIFY(RecordLedger(*BookDatabase::open(other.path())).installationNumber() != number);
}

void tst_RecordLedger::cancel_data() {
    QTest::addColumn<QList<Step>>("before");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("says"); // empty: cancelled
    QTest::newRow("issued with its record")
        << QList<Step>{{Step::Issue, "1"}, {Step::Issue, "2"}} << "A-1"
        << "";
    QTest::newRow("issued before records were made")
        << QList<Step>{{Step::IssueWithoutRecord, "1"}} << "A-1"
        << "";
    QTest::newRow("cancelled already")
        << QList<Step>{{Step::Issue, "1"}, {Step::Cancel, "1"}} << "A-1"
        << "La factura «A-1» ya está anulada: su registro de anulación es el n.º 2";
    QTest::newRow("not in the book") << QList<Step>{{Step::Issue, "1"}} << "A-2"
                                     << "La factura «A-2» del NIF 89890001K no está en el libro";
    QTest::newRow("named otherwise than the book does")
        << QList<Step>{{Step::Issue, "1"}} << "A1"
        << "La factura «A1» del NIF 89890001K no está en el libro";
}

void tst_RecordLedger::cancel() {
    QFETCH(QList<Step>, before);
    QFETCH(QString, number);
    QFETCH(QString, says);
    RecordLedger ledger(*m_db, options(m_clock));
    bool withRecord = false;
    for (const Step& step : before) {
        m_clock.now = m_clock.now.addSecs(60);
        if (step.kind == Step::Issue)
            issue(ledger, step.number);
        else if (step.kind == Step::IssueWithoutRecord)
            InvoiceBook(*m_db).issue(invoice(step.number));
        else
            ledger.cancel(Issuer, QStringLiteral("A-") + step.number, Territory::Peninsula);
        withRecord = withRecord || (step.kind == Step::Issue && step.number == number.mid(2));
    }
    const qint64 recordsBefore = records().size();
    const qint64 historyBefore = count(*m_db, "SELECT count(*) FROM history");
    m_clock.now = m_clock.now.addSecs(60);
    if (!says.isEmpty()) {
        try {
            ledger.cancel(Issuer, number, Territory::Peninsula);
            QFAIL("cancelled");
        } catch (const AppError& e) {
            QVERIFY2(e.message().startsWith(says), qPrintable(e.message()));
        }
        QCOMPARE(records().size(), recordsBefore);
        QCOMPARE(count(*m_db, "SELECT count(*) FROM history"), historyBefore);
        return;
    }

    const StoredRecord r = ledger.cancel(Issuer, number, Territory::Peninsula);
    QCOMPARE(r.kind, StoredRecord::Kind::Anulacion);
    QCOMPARE(r.sequence, recordsBefore + 1);
    QCOMPARE(r.seriesNumber, number);
    QCOMPARE(r.bytes.contains("<sum1:SinRegistroPrevio>S<"), !withRecord);
    QVERIFY(RecordTestKit::schemaErrors(r.bytes).isEmpty());
    const BookEntry entry = *InvoiceBook(*m_db).find(Issuer, number);
    QCOMPARE(r.invoiceId, std::optional<qint64>(entry.id));
    QCOMPARE(entry.state, HistoryKind::Cancelled);
    const HistoryRow last = InvoiceBook(*m_db).history(entry.id).last();
    QCOMPARE(last.detail, QStringLiteral("Registro de anulación n.º %1").arg(r.sequence));
    QVERIFY(LedgerCheck::run(*m_db).ok());
}

QTEST_GUILESS_MAIN(tst_RecordLedger)
#include "tst_RecordLedger.moc"
