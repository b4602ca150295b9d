#include "EventTestKit.h"
#include "records/EventChainVerifier.h"
#include "records/EventReader.h"
#include "records/RecordBuilder.h"

#include <QTest>

#include <functional>

using namespace EventTestKit;

struct Row {
    qint64 sequence;
    QByteArray bytes;
};
using Rows = QList<Row>;
using Tamper = std::function<void(Rows&)>;
Q_DECLARE_METATYPE(Tamper)
Q_DECLARE_METATYPE(AnomalyType)

// The chain check over stored, signed events: a sound chain passes, and
// every kind of tampering is caught at the first event it breaks, named by
// its sequence number, with the anomaly the event log will record.
class tst_EventChainVerifier : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void soundChain();
    void tampering_data();
    void tampering();
    void anchor_data();
    void anchor();

private:
    Chain m_chain;
    Rows m_rows; // sequence 1 to 6
};

namespace {

EventChainVerifier check(const Rows& rows, std::optional<EventAnchor> anchor = std::nullopt) {
    EventChainVerifier verifier(std::move(anchor));
    for (const Row& row : rows) {
        if (!verifier.add(row.sequence, row.bytes))
            break;
    }
    return verifier;
}

void replaceIn(Rows& rows, qint64 sequence, const QByteArray& from, const QByteArray& to) {
    QByteArray& bytes = rows[sequence - 1].bytes;
    QVERIFY2(bytes.contains(from), from.constData());
    bytes.replace(from, to);
}

} // namespace

void tst_EventChainVerifier::initTestCase() {
    m_chain = chain();
    for (int i = 0; i < m_chain.stored.size(); ++i)
        m_rows << Row{i + 1, m_chain.stored[i]};
}

void tst_EventChainVerifier::soundChain() {
    const EventChainVerifier verifier = check(m_rows);
    QVERIFY2(verifier.ok(), qPrintable(verifier.summary()));
    QCOMPARE(verifier.count(), 6);
    QCOMPARE(verifier.last().huella, m_chain.built.last().huella);
    QCOMPARE(verifier.last().generatedAt, m_chain.built.last().reference.generatedAt);
    QCOMPARE(verifier.summary(), QStringLiteral("Cadena de eventos correcta: 6 eventos"));
}

void tst_EventChainVerifier::tampering_data() {
    QTest::addColumn<Tamper>("tamper");
    QTest::addColumn<qint64>("sequence");
    QTest::addColumn<QString>("says");
    QTest::addColumn<AnomalyType>("anomaly");

    QTest::newRow("type edited") << Tamper([](Rows& rows) {
        replaceIn(rows, 2, "<sf:TipoEvento>03</sf:TipoEvento>",
                  "<sf:TipoEvento>05</sf:TipoEvento>");
    }) << qint64(2) << "huella guardada"
                                 << AnomalyType::FingerprintIntegrity;
    QTest::newRow("time moved back an hour") << Tamper([](Rows& rows) {
        replaceIn(rows, 3, "<sf:FechaHoraHusoGenEvento>2027-03-05T11:00:00+01:00<",
                  "<sf:FechaHoraHusoGenEvento>2027-03-05T10:00:00+01:00<");
    }) << qint64(3) << "huella guardada" << AnomalyType::FingerprintIntegrity;
    QTest::newRow("issuer edited") << Tamper([](Rows& rows) {
        replaceIn(rows, 4, "<sf:NIF>89890001K<", "<sf:NIF>89890002E<");
    }) << qint64(4) << "huella guardada"
                                   << AnomalyType::FingerprintIntegrity;
    QTest::newRow("stored fingerprint changed") << Tamper([](Rows& rows) {
        QByteArray& bytes = rows[4].bytes;
        const qsizetype at = bytes.lastIndexOf("<sf:HuellaEvento>") + 17;
        bytes[at] = bytes[at] == 'A' ? 'B' : 'A';
    }) << qint64(5) << "huella guardada" << AnomalyType::FingerprintIntegrity;
    QTest::newRow("fingerprint type changed") << Tamper([](Rows& rows) {
        replaceIn(rows, 2, "<sf:TipoHuella>01<", "<sf:TipoHuella>02<");
    }) << qint64(2) << "TipoHuella" << AnomalyType::FingerprintIntegrity;
    QTest::newRow("event missing") << Tamper([](Rows& rows) { rows.removeAt(2); }) << qint64(3)
                                   << "falta el evento n.º 3" << AnomalyType::PreviousMissing;
    QTest::newRow("last event missing is not seen")
        << Tamper([](Rows& rows) { rows.removeLast(); }) << qint64(0) << "" << AnomalyType::Other;
    QTest::newRow("first event missing")
        << Tamper([](Rows& rows) { rows.removeFirst(); }) << qint64(2) << "PrimerEvento"
        << AnomalyType::PreviousMissing;
    QTest::newRow("two events swapped")
        << Tamper([](Rows& rows) { std::swap(rows[2].bytes, rows[3].bytes); }) << qint64(3)
        << "nombra como evento anterior" << AnomalyType::PreviousHuellaMismatch;
    QTest::newRow("sequence number repeated")
        << Tamper([](Rows& rows) { rows.insert(2, rows[1]); }) << qint64(2) << "repetida"
        << AnomalyType::OtherChainLink;
    QTest::newRow("a new chain started in the middle") << Tamper([](Rows& rows) {
        rows[3].bytes = withSignature(
            EventBuilder::build(anEvent(EventType::Summary, utc(2027, 3, 5, 11, 0))).xml);
    }) << qint64(4) << "PrimerEvento=S" << AnomalyType::OtherChainLink;
    QTest::newRow("an event made again over other data, its fingerprint right")
        << Tamper([](Rows& rows) {
               EventRecord e = anEvent(EventType::RecordsCheck, utc(2027, 3, 5, 9, 0));
               e.chain = EventLink::after(EventReader::read(rows[0].bytes).reference());
               e.generatedAt = utc(2027, 3, 5, 9, 30);
               rows[1].bytes = withSignature(EventBuilder::build(e).xml);
           })
        << qint64(3) << "nombra como evento anterior" << AnomalyType::PreviousHuellaMismatch;
    QTest::newRow("event cut short")
        << Tamper([](Rows& rows) { rows[1].bytes.chop(30); }) << qint64(2) << "no se puede leer"
        << AnomalyType::OtherIntegrity;
    QTest::newRow("a billing record among the events") << Tamper([](Rows& rows) {
        rows[1].bytes = RecordBuilder::build(RecordTestKit::alta()).xml;
    }) << qint64(2) << "no es un RegistroEvento" << AnomalyType::OtherIntegrity;
    QTest::newRow("time written with Z, fingerprinted so") << Tamper([](Rows& rows) {
        QByteArray& bytes = rows[1].bytes;
        const ReadEvent read = EventReader::read(bytes);
        Fingerprint::EventTexts t = read.fingerprinted;
        t.generatedAt = QStringLiteral("2027-03-05T09:00:00Z");
        bytes.replace(read.huella.toLatin1(), Fingerprint::of(Fingerprint::input(t)).toLatin1());
        replaceIn(rows, 2, ">2027-03-05T10:00:00+01:00<", ">2027-03-05T09:00:00Z<");
    }) << qint64(2) << "FechaHoraHusoGenEvento" << AnomalyType::OtherDates;
}

void tst_EventChainVerifier::tampering() {
    QFETCH(Tamper, tamper);
    QFETCH(qint64, sequence);
    QFETCH(QString, says);
    QFETCH(AnomalyType, anomaly);
    Rows rows = m_rows;
    tamper(rows);
    const EventChainVerifier verifier = check(rows);
    if (sequence == 0) {
        QVERIFY2(verifier.ok(), qPrintable(verifier.summary()));
        return;
    }
    QVERIFY(!verifier.ok());
    QCOMPARE(verifier.fault()->sequence, sequence);
    QVERIFY2(verifier.fault()->message.contains(says), qPrintable(verifier.fault()->message));
    QCOMPARE(anomalyTypeCode(verifier.fault()->anomaly), anomalyTypeCode(anomaly));
    QVERIFY2(
        verifier.summary().startsWith(QStringLiteral("Fallo en el evento n.º %1").arg(sequence)),
        qPrintable(verifier.summary()));
}

void tst_EventChainVerifier::anchor_data() {
    QTest::addColumn<int>("anchorIndex"); // the event the anchor names
    QTest::addColumn<qint64>("sequence");
    QTest::addColumn<qint64>("fault"); // 0: none
    // Events 1 to 3 exported and removed; the book keeps 4 to 6.
    QTest::newRow("takes up after the removed events") << 2 << qint64(3) << qint64(0);
    QTest::newRow("anchor naming another event") << 1 << qint64(3) << qint64(4);
    QTest::newRow("anchor further back: event 3 missing") << 2 << qint64(2) << qint64(3);
}

void tst_EventChainVerifier::anchor() {
    QFETCH(int, anchorIndex);
    QFETCH(qint64, sequence);
    QFETCH(qint64, fault);
    const EventAnchor anchor{sequence, m_chain.built[anchorIndex].reference};
    const EventChainVerifier verifier = check(m_rows.mid(3), anchor);
    QCOMPARE(verifier.ok(), fault == 0);
    if (fault != 0)
        QCOMPARE(verifier.fault()->sequence, fault);
    // The first event of the log needs no anchor; a later one does.
    QVERIFY(!check(m_rows.mid(3)).ok());
}

QTEST_GUILESS_MAIN(tst_EventChainVerifier)
#include "tst_EventChainVerifier.moc"
