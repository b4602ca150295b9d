#include "../ledger/LedgerFixture.h"
#include "StandIn.h"
#include "TestPki.h"

#include "ledger/RecordQueue.h"
#include "ledger/RecordStore.h"
#include "sending/RecordSending.h"
#include "sending/ServiceSettings.h"
#include "signing/SigningCertificate.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace LedgerFixture;

// Passes over a book's waiting records against the local stand-in, on a
// clock the test moves: records held back by an outage.
class tst_RecordSending : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void outageSentLateInOrder();

private:
    RecordSending::Pass pass() {
        RecordBatch::Header header;
        header.issuerNif = Issuer;
        header.issuerName = IssuerName;
        return RecordSending::run(*m_db, header, m_setup, m_clock.clock());
    }
    // The stand-in starts afresh at another port.
    bool serve(const QJsonArray& steps) {
        if (!m_standIn.start(steps))
            return false;
        ServiceSettings settings;
        settings.address = m_standIn.address();
        settings.extraAuthorities = m_standIn.serverAuthority();
        QByteArray password(TestPki::Password);
        const SigningCertificate certificate = SigningCertificate::open(m_pki.signer, password);
        m_setup = ClientSetup::make(settings, &certificate, m_pki.signer);
        m_setup.timeoutSeconds = 20;
        return true;
    }
    // The series-numbers of each request's records, and whether it said Incidencia=S.
    QStringList messages() const {
        QStringList seen;
        const QList<QJsonObject> requests = m_standIn.requests();
        for (int n = 1; n <= requests.size(); ++n) {
            QStringList ids;
            for (const QJsonValue& id : requests.at(n - 1).value("ids").toArray())
                ids.append(id.toArray().at(3).toString() + u' ' + id.toArray().at(1).toString());
            const bool late =
                m_standIn.requestBody(n).contains("<sum1:Incidencia>S</sum1:Incidencia>");
            seen.append((late ? QStringLiteral("S: ") : QStringLiteral("N: ")) +
                        ids.join(QStringLiteral(", ")));
        }
        return seen;
    }
    QString states() const {
        QStringList states;
        const RecordStore store(*m_db);
        store.each(store.chains().first(), [&](const StoredRecord& r) {
            states.append(r.state);
            return true;
        });
        return states.join(u',');
    }

    TestPki m_pki;
    StandIn m_standIn;
    ClientSetup m_setup;
    FakeClock m_clock;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<BookDatabase> m_db;
};

void tst_RecordSending::initTestCase() {
    const QString missing = StandIn::missingTool();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing + QStringLiteral(" is needed for the stand-in of the service")));
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QVERIFY2(m_standIn.prepare(m_pki, QFINDTESTDATA("aeat_standin.py")),
             qPrintable(m_standIn.problem));
}

void tst_RecordSending::init() {
    m_db.reset();
    m_home = std::make_unique<QTemporaryDir>();
    m_db = BookDatabase::open(m_home->path());
    m_clock = FakeClock();
}

// The service is down for three hours while invoices are issued and one is
// cancelled: sending is tried at least hourly, then everything held back goes
// in order with Incidencia=S, never in one message with a record made after.
void tst_RecordSending::outageSentLateInOrder() {
    RecordLedger ledger(*m_db, options(m_clock));
    issue(ledger, QStringLiteral("1"));

    QVERIFY2(serve({QJsonObject{{"action", "status"}, {"status", 503}}}),
             qPrintable(m_standIn.problem));
    const QDateTime down = m_clock.now;
    QList<QDateTime> attempts;
    while (m_clock.now < down.addSecs(3 * 3600)) {
        const RecordSending::Pass p = pass();
        if (p.sent) {
            attempts.append(m_clock.now);
            QVERIFY(p.stillWaiting > 0);
        }
        if (attempts.size() == 1 && p.sent)
            issue(ledger, QStringLiteral("2"));
        if (attempts.size() == 2 && p.sent)
            ledger.cancel(Issuer, QStringLiteral("A-1"), Territory::Peninsula);
        m_clock.now = RecordQueue(*m_db).schedule().nextAllowed;
    }
    QVERIFY2(attempts.size() >= 3, qPrintable(QString::number(attempts.size())));
    for (qsizetype i = 1; i < attempts.size(); ++i)
        QVERIFY(attempts.at(i - 1).secsTo(attempts.at(i)) <= 3600);
    QCOMPARE(m_standIn.requests().size(), attempts.size());
    QCOMPARE(RecordQueue(*m_db).waitingCount(), 3);

    // Back up: everything held back goes in one message marked late; its
    // answer leaves out A-2, which waits on, late still. A-3, issued once the
    // service answered, never shares a message with it.
    QVERIFY2(serve({QJsonObject{{"action", "answer"}, {"omit", QJsonArray{1}}},
                    QJsonObject{{"action", "answer"}}}),
             qPrintable(m_standIn.problem));
    QVERIFY(pass().sent);
    issue(ledger, QStringLiteral("3"));
    for (int i = 0; i < 2; ++i) {
        m_clock.now = m_clock.now.addSecs(60);
        QVERIFY(pass().sent);
    }
    QCOMPARE(messages(),
             QStringList({QStringLiteral("S: Alta A-1, Alta A-2, Anulacion A-1"),
                          QStringLiteral("S: Alta A-2"), QStringLiteral("N: Alta A-3")}));
    for (const QJsonObject& request : m_standIn.requests())
        QVERIFY2(request.value("valid").toBool(), qPrintable(request.value("problem").toString()));
    QCOMPARE(states(), QStringLiteral("aceptado,aceptado,aceptado,aceptado"));
    m_clock.now = m_clock.now.addSecs(60);
    QVERIFY(!pass().sent);
}

QTEST_GUILESS_MAIN(tst_RecordSending)
#include "tst_RecordSending.moc"
