#include "../records/RecordTestKit.h"
#include "../signing/TestPki.h"
#include "CliRunner.h"
#include "LedgerFixture.h"

#include "book/BookSchema.h"
#include "common/AppError.h"
#include "ledger/AlarmStore.h"
#include "ledger/EventLog.h"
#include "ledger/EventStore.h"
#include "ledger/ExportLog.h"
#include "ledger/IntegrityCheck.h"
#include "ledger/RecordStore.h"
#include "records/EventBatch.h"
#include "records/EventChainVerifier.h"
#include "records/EventReader.h"
#include "records/RecordReader.h"
#include "session/RecordSignatures.h"
#include "signing/SigningCertificate.h"

#include <QTemporaryDir>
#include <QTest>

// Working without sending each record: records signed in the book, the
// event log chained, signed and kept with what it logs, the alarm kept until
// resolved, and the check that finds a record or an event tampered with.
class tst_EventLog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void signedRecordsAndEvents();
    void nothingStoredUnsigned();
    void eventsGoWithTheirTransaction();
    void olderBookComesUpToDate();
    void alarmKeptUntilResolved();
    void cleanBookCheck();
    void tamperingSetsTheAlarm_data();
    void tamperingSetsTheAlarm();
    void summaryForACommand();
    void exportEachVerifiesAlone();
    void cancellationSigned();

private:
    std::unique_ptr<BookDatabase> openBook() { return BookDatabase::open(m_dir->path()); }
    QString bookPath() const { return m_dir->filePath(QStringLiteral("Libro.db")); }
    RecordLedger ledger(BookDatabase& db, bool signing = true);
    EventLog log(BookDatabase& db);
    // Issues n invoices with their signed records and logs the mode's start.
    void fill(int invoices);

    TestPki m_pki;
    std::shared_ptr<const SigningCertificate> m_certificate;
    std::unique_ptr<QTemporaryDir> m_dir;
    LedgerFixture::FakeClock m_clock;
    int m_number = 0;
};

namespace {

using namespace LedgerFixture;

QStringList eventTypes(const BookDatabase& db) {
    SqlStatement rows(db, "SELECT type FROM events ORDER BY sequence");
    QStringList types;
    while (rows.next())
        types << rows.text(0);
    return types;
}

// 1 accepted by the xmlsec1 command, 0 refused, -1 without it.
int xmlsec1Accepts(const QTemporaryDir& dir, const TestPki& pki, const QByteArray& bytes) {
    if (QStandardPaths::findExecutable("xmlsec1").isEmpty())
        return -1;
    const QString file = CliRunner::writeFile(dir, "cut.xml", bytes);
    const CliRunner::Run run =
        CliRunner::run("xmlsec1", {"--verify", "--trusted-pem", pki.rootPem, "--untrusted-pem",
                                   pki.intermediatePem, "--id-attr:Id", "SignedProperties", file});
    return run.status == 0 ? 1 : 0;
}

// The elements of that start tag cut out of a file, byte for byte.
QList<QByteArray> cutOut(const QByteArray& file, const QByteArray& name) {
    QList<QByteArray> parts;
    const QByteArray end = "</" + name + '>';
    for (qsizetype at = file.indexOf('<' + name + ' '); at >= 0;
         at = file.indexOf('<' + name + ' ', at + 1)) {
        const qsizetype stop = file.indexOf(end, at) + end.size();
        parts << file.mid(at, stop - at);
    }
    return parts;
}

EventRecord anEvent(EventType type) {
    EventRecord e;
    e.type = type;
    return e;
}

} // namespace

void tst_EventLog::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QByteArray password(TestPki::Password);
    m_certificate = std::make_shared<const SigningCertificate>(
        SigningCertificate::open(m_pki.signer, password));
}

void tst_EventLog::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // The test certificates are valid from now; the invoices are dated today.
    m_clock.now = QDateTime::currentDateTimeUtc().addSecs(60);
    m_number = 0;
}

RecordLedger tst_EventLog::ledger(BookDatabase& db, bool signing) {
    RecordLedger::Options o = options(m_clock);
    if (signing)
        o.signer = RecordSignatures::with(m_certificate);
    return RecordLedger(db, o);
}

EventLog tst_EventLog::log(BookDatabase& db) {
    return EventLog(db, {IssuerName, Issuer, Territory::Peninsula},
                    RecordSignatures::with(m_certificate), {m_clock.clock(), producer()});
}

void tst_EventLog::fill(int invoices) {
    const auto db = openBook();
    EventLog events = log(*db);
    events.append(anEvent(EventType::ModeStart));
    RecordLedger records = ledger(*db);
    for (int i = 0; i < invoices; ++i) {
        m_clock.now = m_clock.now.addSecs(60);
        const InvoiceRow row = invoice(QString::number(++m_number),
                                       {{VatTreatment::S1, "21", "100.00"}}, m_clock.now.date());
        records.issue(row, alta(row));
    }
}

void tst_EventLog::signedRecordsAndEvents() {
    fill(2);
    const auto db = openBook();
    const SignatureCheck check = RecordSignatures::check();
    qint64 records = 0;
    RecordStore(*db).each(
        {Issuer, RecordLedger(*db).installationNumber()}, [&](const StoredRecord& r) {
            ++records;
            const QStringList errors = RecordTestKit::schemaErrors(r.bytes);
            [&] { QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n'))); }();
            [&] { QCOMPARE(check(r.bytes, RecordSigner::Kind::Record), QString()); }();
            // The fingerprint is over the record's texts, not its signature.
            [&] { QCOMPARE(RecordReader::read(r.bytes).huella, r.huella); }();
            return true;
        });
    QCOMPARE(records, 2);

    EventLog events = log(*db);
    m_clock.now = m_clock.now.addSecs(60);
    const StoredEvent second = events.append(anEvent(EventType::BackupRestored));
    QCOMPARE(eventTypes(*db), (QStringList{"01", "07"}));
    EventChainVerifier chain;
    EventStore(*db).each(events.chain(), [&](const StoredEvent& e) {
        [&] { QVERIFY2(chain.add(e.sequence, e.bytes), qPrintable(chain.summary())); }();
        const QStringList errors = RecordTestKit::schemaErrors(e.bytes);
        [&] { QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n'))); }();
        [&] { QCOMPARE(check(e.bytes, RecordSigner::Kind::Event), QString()); }();
        // The columns say what the bytes say.
        const ReadEvent read = EventReader::read(e.bytes);
        [&] { QCOMPARE(read.reference().huella, e.huella); }();
        [&] { QCOMPARE(read.reference().generatedAt, e.generatedAt); }();
        [&] { QCOMPARE(read.reference().type, e.type); }();
        return true;
    });
    QCOMPARE(chain.count(), 2);
    QCOMPARE(second.previousHuella, EventStore(*db).lastOfType(events.chain(), "01")->huella);
}

void tst_EventLog::nothingStoredUnsigned() {
    const auto db = openBook();
    RecordLedger::Options o = options(m_clock);
    o.signer.sign = [](const QByteArray&, RecordSigner::Kind, const QDateTime&) -> QByteArray {
        throw AppError(QStringLiteral("Contraseña incorrecta"));
    };
    RecordLedger refusing(*db, o);
    const InvoiceRow row = invoice("1", {{VatTreatment::S1, "21", "100.00"}}, m_clock.now.date());
    QVERIFY_THROWS_EXCEPTION(AppError, refusing.issue(row, alta(row)));
    QCOMPARE(count(*db, "SELECT count(*) FROM invoices"), 0);
    QCOMPARE(count(*db, "SELECT count(*) FROM billing_records"), 0);

    EventLog unsignedLog(*db, {IssuerName, Issuer, Territory::Peninsula}, RecordSigner(),
                         {m_clock.clock(), producer()});
    QVERIFY_THROWS_EXCEPTION(AppError, unsignedLog.append(anEvent(EventType::ModeStart)));
    QCOMPARE(count(*db, "SELECT count(*) FROM events"), 0);
}

void tst_EventLog::eventsGoWithTheirTransaction() {
    const auto db = openBook();
    EventLog events = log(*db);
    {
        BookDatabase::Transaction transaction(*db);
        events.append(anEvent(EventType::ModeStart));
        // Not committed: what it logged did not happen, nor did the event.
    }
    QCOMPARE(count(*db, "SELECT count(*) FROM events"), 0);
    events.append(anEvent(EventType::ModeStart));
    QCOMPARE(eventTypes(*db), QStringList{"01"});
}

void tst_EventLog::olderBookComesUpToDate() {
    fill(1);
    // The book as the program left it before it kept events.
    const QString out = sqlite(bookPath(), "DROP TABLE events; DROP TABLE integrity_alarms; "
                                           "DROP TABLE sending_schedule; DROP TABLE corrections; "
                                           "PRAGMA user_version = 2;");
    QVERIFY2(out.isEmpty(), qPrintable(out));
    const auto db = openBook();
    QCOMPARE(db->schemaVersion(), BookSchema::latestVersion());
    QCOMPARE(count(*db, "SELECT count(*) FROM billing_records"), 1);
    QCOMPARE(count(*db, "SELECT count(*) FROM events"), 0);
    EventLog events = log(*db);
    events.append(anEvent(EventType::ModeStart));
    QCOMPARE(eventTypes(*db), QStringList{"01"});
}

void tst_EventLog::alarmKeptUntilResolved() {
    {
        const auto db = openBook();
        QVERIFY(!AlarmStore::active(*db));
        AlarmStore::raise(*db, IntegrityAlarm::raise(IntegrityAlarm::Check::Records,
                                                     {4, "A-4", "la huella no coincide",
                                                      AnomalyType::FingerprintIntegrity},
                                                     m_clock.now));
    }
    {
        const auto db = openBook();
        const std::optional<IntegrityAlarm> on = AlarmStore::active(*db);
        QVERIFY(on);
        QCOMPARE(on->sequence, 4);
        EventLog events = log(*db);
        QVERIFY_THROWS_EXCEPTION(AppError, AlarmStore::resolve(*db, events, "  "));
        QCOMPARE(count(*db, "SELECT count(*) FROM events"), 0);
        QVERIFY(AlarmStore::active(*db));
        m_clock.now = m_clock.now.addSecs(3600);
        const IntegrityAlarm resolved =
            AlarmStore::resolve(*db, events, "Revisado con la gestoría: copia restaurada");
        QCOMPARE(resolved.resolvedAt, m_clock.now);
        QVERIFY_THROWS_EXCEPTION(AppError, AlarmStore::resolve(*db, events, "otra vez"));
    }
    const auto db = openBook();
    QVERIFY(!AlarmStore::active(*db));
    QCOMPARE(eventTypes(*db), QStringList{"90"});
    const QByteArray logged = EventStore(*db).last(log(*db).chain())->bytes;
    QVERIFY(logged.contains("Alarma de integridad resuelta: Revisado con la gestor"));
    // The resolved alarm is kept, never changed again.
    const QString out = sqlite(bookPath(), "UPDATE integrity_alarms SET alarm = '{}';");
    QVERIFY2(out.contains("never changed"), qPrintable(out));
}

void tst_EventLog::cleanBookCheck() {
    fill(3);
    const auto db = openBook();
    EventLog events = log(*db);
    const IntegrityReport report = IntegrityCheck::run(*db, events, RecordSignatures::check());
    QVERIFY2(report.ok(), qPrintable(report.lines().join(u'\n')));
    QCOMPARE(report.signedRecords, 3);
    QCOMPARE(report.events, 1);
    QVERIFY(report.raised.isEmpty());
    QCOMPARE(eventTypes(*db), (QStringList{"01", "03", "05"}));
    QVERIFY(!AlarmStore::active(*db));
    // The launch says how many records each process went through.
    SqlStatement bytes(*db, "SELECT bytes FROM events WHERE type = '03'");
    QVERIFY(bytes.next());
    const QByteArray xml = bytes.blob(0);
    QVERIFY(xml.contains("<sf:NumeroDeRegistrosFacturacionProcesadosSobreIntegridadHuellas>3<"));
    QVERIFY(xml.contains("<sf:NumeroDeRegistrosFacturacionProcesadosSobreIntegridadFirmas>3<"));
    QVERIFY(RecordTestKit::schemaErrors(xml).isEmpty());
}

void tst_EventLog::tamperingSetsTheAlarm_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("anomalyType"); // the event logged
    QTest::addColumn<int>("check");           // IntegrityAlarm::Check
    QTest::addColumn<qint64>("sequence");

    const QString records = "DROP TRIGGER billing_records_fixed; UPDATE billing_records SET bytes "
                            "= CAST(replace(CAST(bytes AS TEXT), '%1', '%2') AS BLOB) "
                            "WHERE sequence = 2;";
    const QString events = "DROP TRIGGER events_fixed; UPDATE events SET bytes = "
                           "CAST(replace(CAST(bytes AS TEXT), '%1', '%2') AS BLOB) "
                           "WHERE sequence = 1;";
    QTest::newRow("a record's amount")
        << records.arg("<sum1:ImporteTotal>121.00<", "<sum1:ImporteTotal>112.00<") << "04"
        << int(IntegrityAlarm::Check::Records) << qint64(2);
    QTest::newRow("a record's signature (its signing time)")
        << records.arg("<xades:SigningTime>", "<xades:SigningTime>1") << "04"
        << int(IntegrityAlarm::Check::Records) << qint64(2);
    QTest::newRow("a record's signed text outside its fingerprint")
        << records.arg("Tornillos", "Clavos") << "04" << int(IntegrityAlarm::Check::Records)
        << qint64(2);
    QTest::newRow("a record's signature taken out")
        << QString("DROP TRIGGER billing_records_fixed; UPDATE billing_records SET bytes = "
                   "CAST(substr(CAST(bytes AS TEXT), 1, instr(CAST(bytes AS TEXT), "
                   "'<ds:Signature') - 1) || '</sum1:RegistroAlta>' AS BLOB) WHERE sequence = 3;")
        << "04" << int(IntegrityAlarm::Check::Records) << qint64(3);
    QTest::newRow("an event's generation time")
        << events.arg("<sf:FechaHoraHusoGenEvento>2", "<sf:FechaHoraHusoGenEvento>1") << "06"
        << int(IntegrityAlarm::Check::Events) << qint64(1);
    QTest::newRow("an event's issuer name (signed, not fingerprinted)")
        << events.arg("Ferretería", "Ferreteria") << "06" << int(IntegrityAlarm::Check::Events)
        << qint64(1);
    QTest::newRow("the first event deleted")
        << QString("DROP TRIGGER events_kept; DELETE FROM events WHERE sequence = 1;") << "06"
        << int(IntegrityAlarm::Check::Events) << qint64(2);
}

void tst_EventLog::tamperingSetsTheAlarm() {
    QFETCH(QString, sql);
    QFETCH(QString, anomalyType);
    QFETCH(int, check);
    QFETCH(qint64, sequence);
    fill(3);
    {
        const auto db = openBook();
        log(*db).append(anEvent(EventType::BackupRestored));
    }
    const QString out = sqlite(bookPath(), sql + " SELECT changes();");
    QVERIFY2(out.trimmed() == "1", qPrintable(out));
    {
        const auto db = openBook();
        EventLog events = log(*db);
        const IntegrityReport report = IntegrityCheck::run(*db, events, RecordSignatures::check());
        QVERIFY(!report.ok());
        QCOMPARE(report.raised.size(), 1);
        QCOMPARE(int(report.raised.first().check), check);
        QCOMPARE(report.raised.first().sequence, sequence);
        QVERIFY(eventTypes(*db).contains(anomalyType));
        SqlStatement anomaly(*db, "SELECT bytes FROM events WHERE type = ?");
        anomaly.bindAll(anomalyType);
        QVERIFY(anomaly.next());
        const QStringList errors = RecordTestKit::schemaErrors(anomaly.blob(0));
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QVERIFY(RecordSignatures::check()(anomaly.blob(0), RecordSigner::Kind::Event).isEmpty());
    }
    // Kept whatever restarts, until resolved.
    const auto db = openBook();
    const std::optional<IntegrityAlarm> on = AlarmStore::active(*db);
    QVERIFY(on);
    QCOMPARE(on->sequence, sequence);
}

void tst_EventLog::summaryForACommand() {
    fill(2);
    const auto db = openBook();
    EventLog events = log(*db);
    m_clock.now = m_clock.now.addSecs(5 * 3600);
    QVERIFY(!events.appendSummaryIfDue());
    m_clock.now = m_clock.now.addSecs(3600);
    const std::optional<StoredEvent> summary = events.appendSummaryIfDue();
    QVERIFY(summary);
    QCOMPARE(summary->type, QStringLiteral("10"));
    QVERIFY(summary->bytes.contains("<sf:NumeroDeRegistrosFacturacionAltaGenerados>2<"));
    QVERIFY2(RecordTestKit::schemaErrors(summary->bytes).isEmpty(),
             qPrintable(RecordTestKit::schemaErrors(summary->bytes).join(u'\n')));
    // Counted from this one on.
    QVERIFY(!events.appendSummaryIfDue());
    m_clock.now = m_clock.now.addSecs(6 * 3600);
    const std::optional<StoredEvent> next = events.appendSummaryIfDue();
    QVERIFY(next);
    QVERIFY(next->bytes.contains("<sf:NumeroDeRegistrosFacturacionAltaGenerados>0<"));
}

void tst_EventLog::exportEachVerifiesAlone() {
    fill(3);
    const auto db = openBook();
    EventLog events = log(*db);
    const QDate day = GenerationTime::localDate(m_clock.now, Territory::Peninsula);
    const RecordPeriod period{day, day};
    RecordBatch::Header header;
    header.issuerName = IssuerName;
    header.issuerNif = Issuer;
    const QString recordsFile = m_dir->filePath("registros.xml");
    QCOMPARE(ExportLog::records(*db, events, header, period, recordsFile),
             QStringList{recordsFile});
    const QString eventsFile = m_dir->filePath("eventos.xml");
    QCOMPARE(ExportLog::events(*db, events, period, eventsFile), eventsFile);

    // Each record cut out of the export verifies alone: nothing around it
    // changed its canonical form.
    const QByteArray exported = CliRunner::readAll(recordsFile);
    QVERIFY(RecordTestKit::schemaErrors(exported).isEmpty());
    const QList<QByteArray> records = cutOut(exported, "sum1:RegistroAlta");
    QCOMPARE(records.size(), 3);
    for (const QByteArray& record : records) {
        const int accepted = xmlsec1Accepts(*m_dir, m_pki, record);
        if (accepted < 0)
            QSKIP("xmlsec1 is not installed: the independent check was not run");
        QCOMPARE(accepted, 1);
    }
    // So does each event of the events' export, valid on its own.
    const QByteArray wrapped = CliRunner::readAll(eventsFile);
    QVERIFY(wrapped.contains(QByteArray("<") + EventBatch::Root + '>'));
    const QList<QByteArray> logged = cutOut(wrapped, "sf:RegistroEvento");
    QCOMPARE(logged.size(), 2); // the mode's start and the records' export
    for (const QByteArray& event : logged) {
        const QStringList errors = RecordTestKit::schemaErrors(event);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        QCOMPARE(xmlsec1Accepts(*m_dir, m_pki, event), 1);
    }

    // Each export logged with its counts.
    QCOMPARE(eventTypes(*db), (QStringList{"01", "08", "09"}));
    SqlStatement rows(*db, "SELECT bytes FROM events WHERE type IN ('08', '09') ORDER BY sequence");
    QVERIFY(rows.next());
    const QByteArray recordsExport = rows.blob(0);
    QVERIFY(recordsExport.contains("<sf:NumeroDeRegistrosFacturacionAltaExportados>3<"));
    QVERIFY(recordsExport.contains("<sf:SumaImporteTotalAlta>363.00<"));
    QVERIFY(rows.next());
    QVERIFY(rows.blob(0).contains("<sf:NumeroDeRegEventoExportados>2<"));

    // A failed save logs nothing.
    QVERIFY_THROWS_EXCEPTION(
        AppError, ExportLog::events(*db, events, period, m_dir->filePath("no/such/eventos.xml")));
    QCOMPARE(eventTypes(*db).size(), 3);
}

void tst_EventLog::cancellationSigned() {
    fill(1);
    const auto db = openBook();
    m_clock.now = m_clock.now.addSecs(60);
    const StoredRecord cancelled = ledger(*db).cancel(Issuer, "A-1", Territory::Peninsula);
    QVERIFY(cancelled.bytes.startsWith("<sum1:RegistroAnulacion "));
    QVERIFY(RecordTestKit::schemaErrors(cancelled.bytes).isEmpty());
    // orvane-cli verify knows it for a billing record under the AGE policy.
    const QString file = CliRunner::writeFile(*m_dir, "anulacion.xml", cancelled.bytes);
    const CliRunner::Run run = CliRunner::cli({"verify", "--trusted-ca", m_pki.rootPem, file});
    QVERIFY2(run.status == 0, qPrintable(run.out));
    QVERIFY(run.out.contains("INFO valid"));
}

QTEST_GUILESS_MAIN(tst_EventLog)
#include "tst_EventLog.moc"
