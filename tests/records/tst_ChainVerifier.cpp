#include "RecordTestKit.h"
#include "records/ChainVerifier.h"
#include "records/RecordBuilder.h"
#include "records/RecordReader.h"

#include <QTest>

#include <functional>

using namespace RecordTestKit;

struct Row {
    qint64 sequence;
    QByteArray bytes;
};
using Rows = QList<Row>;
using Tamper = std::function<void(Rows&)>;
Q_DECLARE_METATYPE(Tamper)

// The chain check over stored records: a sound chain passes, and every kind
// of tampering is caught at the first record it breaks, named by its
// sequence number.
class tst_ChainVerifier : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void soundChain();
    void tampering_data();
    void tampering();
    void anchor_data();
    void anchor();
    void agencyExample_data();
    void agencyExample();

private:
    Rows m_rows;                 // sequence 1 to 6
    QList<BillingRecord> m_made; // what each row was built from
    QList<QString> m_huellas;
};

namespace {

ChainVerifier check(const Rows& rows, std::optional<ChainAnchor> anchor = std::nullopt) {
    ChainVerifier verifier(std::move(anchor));
    for (const Row& row : rows) {
        if (!verifier.add(row.sequence, row.bytes))
            break;
    }
    return verifier;
}

void replaceIn(Rows& rows, qint64 sequence, const QByteArray& from, const QByteArray& to) {
    for (Row& row : rows) {
        if (row.sequence == sequence) {
            QVERIFY2(row.bytes.contains(from), from.constData());
            row.bytes.replace(from, to);
        }
    }
}

} // namespace

void tst_ChainVerifier::initTestCase() {
    // Five altas and the cancellation of the second, one minute apart.
    for (int i = 1; i <= 6; ++i) {
        BillingRecord r = i == 6 ? anulacion(QStringLiteral("A-2027-002"))
                                 : alta(QStringLiteral("A-2027-00%1").arg(i));
        if (i == 3)
            r.details = {{VatTreatment::S1, D("10"), D("45.10"), D("4.51")},
                         {VatTreatment::E1, D("0"), D("12.00"), D("0")}};
        r.generatedAt = utc(2027, 3, 5, 9, 30 + i);
        if (i > 1)
            r.chain = ChainLink::after(m_made.last().invoice, m_huellas.last());
        const BuiltRecord built = RecordBuilder::build(r);
        m_rows << Row{i, built.xml};
        m_made << r;
        m_huellas << built.huella;
    }
}

void tst_ChainVerifier::soundChain() {
    const ChainVerifier verifier = check(m_rows);
    QVERIFY2(verifier.ok(), qPrintable(verifier.summary()));
    QCOMPARE(verifier.count(), 6);
    QCOMPARE(verifier.lastHuella(), m_huellas.last());
    QCOMPARE(verifier.lastGeneratedAt(), std::optional<QDateTime>(utc(2027, 3, 5, 9, 36)));
    QCOMPARE(verifier.summary(), QStringLiteral("Cadena correcta: 6 registros"));
}

void tst_ChainVerifier::tampering_data() {
    QTest::addColumn<Tamper>("tamper");
    QTest::addColumn<qint64>("sequence");
    QTest::addColumn<QString>("says");

    QTest::newRow("total edited") << Tamper([](Rows& rows) {
        replaceIn(rows, 3, "<sum1:ImporteTotal>61.61<", "<sum1:ImporteTotal>16.61<");
    }) << qint64(3) << "huella guardada";
    QTest::newRow("same total written without its last zero") << Tamper([](Rows& rows) {
        replaceIn(rows, 2, "<sum1:ImporteTotal>121.00<", "<sum1:ImporteTotal>121.0<");
    }) << qint64(2) << "huella guardada";
    QTest::newRow("base of a detail edited")
        << Tamper([](Rows& rows) { replaceIn(rows, 3, ">45.10<", ">4.10<"); }) << qint64(3)
        << "desglose";
    QTest::newRow("invoice number edited") << Tamper([](Rows& rows) {
        replaceIn(rows, 4, "<sum1:NumSerieFactura>A-2027-004<",
                  "<sum1:NumSerieFactura>A-2027-044<");
    }) << qint64(4) << "huella guardada";
    QTest::newRow("stored fingerprint changed") << Tamper([](Rows& rows) {
        QByteArray& bytes = rows[4].bytes;
        const qsizetype at = bytes.lastIndexOf("<sum1:Huella>") + 13;
        bytes[at] = bytes[at] == 'A' ? 'B' : 'A';
    }) << qint64(5) << "huella guardada";
    QTest::newRow("amount edited and its fingerprint made again") << Tamper([](Rows& rows) {
        BillingRecord r = alta(QStringLiteral("A-2027-004"));
        r.details[0].base = D("10.00");
        r.details[0].quota = D("2.10");
        r.generatedAt = utc(2027, 3, 5, 9, 34);
        r.chain = ChainLink::after(alta(QStringLiteral("A-2027-003")).invoice,
                                   RecordReader::read(rows[2].bytes).huella);
        rows[3].bytes = RecordBuilder::build(r).xml;
    }) << qint64(5) << "nombra como registro anterior";
    QTest::newRow("record missing")
        << Tamper([](Rows& rows) { rows.removeAt(3); }) << qint64(4) << "falta el registro n.º 4";
    QTest::newRow("last record missing is not seen")
        << Tamper([](Rows& rows) { rows.removeLast(); }) << qint64(0) << "";
    QTest::newRow("first record missing")
        << Tamper([](Rows& rows) { rows.removeFirst(); }) << qint64(2) << "PrimerRegistro";
    QTest::newRow("two records swapped")
        << Tamper([](Rows& rows) { std::swap(rows[2].bytes, rows[3].bytes); }) << qint64(3)
        << "nombra como registro anterior";
    QTest::newRow("two rows in the wrong order")
        << Tamper([](Rows& rows) { std::swap(rows[2], rows[3]); }) << qint64(3)
        << "falta el registro n.º 3";
    QTest::newRow("sequence number repeated")
        << Tamper([](Rows& rows) { rows.insert(2, rows[1]); }) << qint64(2) << "repetida";
    QTest::newRow("a new chain started in the middle") << Tamper([](Rows& rows) {
        BillingRecord r = alta(QStringLiteral("A-2027-004"));
        r.generatedAt = utc(2027, 3, 5, 9, 34);
        rows[3].bytes = RecordBuilder::build(r).xml;
    }) << qint64(4) << "PrimerRegistro=S";
    QTest::newRow("record cut short")
        << Tamper([](Rows& rows) { rows[1].bytes.chop(40); }) << qint64(2) << "no se puede leer";
    QTest::newRow("record with a DOCTYPE") << Tamper([](Rows& rows) {
        rows[1].bytes.prepend("<!DOCTYPE x [<!ENTITY e \"A-2027-002\">]>");
    }) << qint64(2) << "DOCTYPE";
    QTest::newRow("fingerprint type changed") << Tamper([](Rows& rows) {
        replaceIn(rows, 2, "<sum1:TipoHuella>01<", "<sum1:TipoHuella>02<");
    }) << qint64(2) << "TipoHuella";
}

void tst_ChainVerifier::tampering() {
    QFETCH(Tamper, tamper);
    QFETCH(qint64, sequence);
    QFETCH(QString, says);
    Rows rows = m_rows;
    tamper(rows);
    const ChainVerifier verifier = check(rows);
    if (sequence == 0) {
        QVERIFY2(verifier.ok(), qPrintable(verifier.summary()));
        return;
    }
    QVERIFY(!verifier.ok());
    QCOMPARE(verifier.fault()->sequence, sequence);
    QVERIFY2(verifier.fault()->message.contains(says), qPrintable(verifier.fault()->message));
    QVERIFY2(
        verifier.summary().startsWith(QStringLiteral("Fallo en el registro n.º %1").arg(sequence)),
        qPrintable(verifier.summary()));
}

void tst_ChainVerifier::anchor_data() {
    QTest::addColumn<QString>("huella");
    QTest::addColumn<qint64>("sequence");
    QTest::addColumn<qint64>("fault"); // 0: none
    // Records 1 to 3 exported and removed; the book keeps 4 to 6.
    QTest::newRow("takes up after the removed records") << m_huellas[2] << qint64(3) << qint64(0);
    QTest::newRow("anchor with another fingerprint") << m_huellas[1] << qint64(3) << qint64(4);
    QTest::newRow("anchor further back: record 3 missing")
        << m_huellas[2] << qint64(2) << qint64(3);
}

void tst_ChainVerifier::anchor() {
    QFETCH(QString, huella);
    QFETCH(qint64, sequence);
    QFETCH(qint64, fault);
    const ChainAnchor anchor{sequence, QStringLiteral("89890001K"), QStringLiteral("A-2027-003"),
                             QStringLiteral("05-03-2027"), huella};
    const ChainVerifier verifier = check(m_rows.mid(3), anchor);
    QCOMPARE(verifier.ok(), fault == 0);
    if (fault != 0)
        QCOMPARE(verifier.fault()->sequence, fault);
    // The first record of the book needs no anchor; a later one does.
    QVERIFY(!check(m_rows.mid(3)).ok());
}

void tst_ChainVerifier::agencyExample_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("unsigned") << "examples/ejemploRegistro.xml";
    QTest::newRow("signed") << "examples/ejemploRegistro-firmado-epes-xades4j.xml";
}

void tst_ChainVerifier::agencyExample() {
    QFETCH(QString, file);
    const ReadRecord read =
        RecordReader::read(readFile(verifactuPath(file.toLatin1().constData())));
    QCOMPARE(QString::fromUtf8(Fingerprint::input(read.fingerprinted)),
             QStringLiteral("IDEmisorFactura=89890001K&NumSerieFactura=12345678-G66&"
                            "FechaExpedicionFactura=03-02-2025&TipoFactura=R3&CuotaTotal=41.4&"
                            "ImporteTotal=241.4&Huella=C9AF4AF1EF5EBBA700350DE3EEF12C2D355C56AC56F"
                            "13DB2A25E0031BD2B7ED5&FechaHoraHusoGenRegistro=2025-02-03T14:30:00+"
                            "01:00"));
    QCOMPARE(Fingerprint::of(Fingerprint::input(read.fingerprinted)), read.huella);
    QCOMPARE(read.huella,
             QStringLiteral("FF954378B64ED331A9B2366AD317D86E9DEC1716B12DD0ACCB172A6DC4C105AA"));
    QCOMPARE(read.previousNumSerie, QStringLiteral("12345677-G33"));
}

QTEST_GUILESS_MAIN(tst_ChainVerifier)
#include "tst_ChainVerifier.moc"
