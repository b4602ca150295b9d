#include "../ledger/LedgerFixture.h"
#include "../signing/TestPki.h"
#include "TrialProducer.h"

#include "book/BookDatabase.h"
#include "book/SqlStatement.h"
#include "ledger/AlarmStore.h"
#include "session/RunCredentials.h"
#include "session/RunEvents.h"

#include <QTemporaryDir>
#include <QTest>

using namespace LedgerFixture;

// What a run of the program logs while working without sending each record:
// summaries every 6 hours of running and at quit, the mode's start and end,
// the check at start and its alarm, each event signed and chained.
class tst_RunEvents : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void summariesEverySixHoursAndAtQuit();
    void modeStartAndEnd();
    void checkAtStartRaisesTheAlarmUntilResolved();

private:
    QStringList types() const {
        const auto db = BookDatabase::openExisting(m_home->path());
        SqlStatement select(*db, "SELECT type FROM events ORDER BY sequence");
        QStringList all;
        while (select.next())
            all << select.text(0);
        return all;
    }

    TestPki m_pki;
    RunCredentials m_credentials;
    std::unique_ptr<QTemporaryDir> m_home;
    FakeClock m_clock;
};

void tst_RunEvents::initTestCase() {
    if (!TestPki::available())
        QSKIP("The openssl command is needed to make the test certificates");
    QVERIFY2(m_pki.create(), qPrintable(m_pki.problem));
    QByteArray password(TestPki::Password);
    m_credentials.open(m_pki.signer, password);
    QVERIFY(useTrialProducer(m_pki.path(QString())));
}

void tst_RunEvents::init() {
    m_home = std::make_unique<QTemporaryDir>();
    QFile ini(m_home->filePath(QStringLiteral("Registro.Ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[MISDATOS]\nPERSONA=F\nNOMBRE=Ana\nAPELLIDO1=Pérez\nNIF=89890001K\n"
              "[VERIFACTU]\nMODO=NOVERIFACTU\n");
    // The test certificates are valid from now on.
    m_clock.now = QDateTime::currentDateTimeUtc();
}

// 13 hours of running, the window's timer asking every minute: a summary
// at 6 and at 12 hours, then one at quit; none sooner.
void tst_RunEvents::summariesEverySixHoursAndAtQuit() {
    RunEvents events(m_home->path(), m_credentials.signer(), m_clock.clock());
    QVERIFY(events.active());
    QList<int> at; // the minutes they were written at
    for (int minute = 1; minute <= 13 * 60; ++minute) {
        m_clock.now = m_clock.now.addSecs(60);
        if (events.summaryIfDue())
            at << minute;
    }
    QCOMPARE(at, (QList<int>{6 * 60, 12 * 60}));
    events.summaryAtQuit();
    QCOMPARE(types(), (QStringList{"10", "10", "10"}));

    // Signed, and named after the person, surnames and all.
    QCOMPARE(RunEvents::issuer(m_home->path()).name, QStringLiteral("Ana Pérez"));
    const auto db = BookDatabase::openExisting(m_home->path());
    SqlStatement select(*db, "SELECT bytes FROM events");
    while (select.next()) {
        QVERIFY(select.blob(0).contains("SignatureValue"));
        QVERIFY(select.blob(0).contains("Ana Pérez"));
    }
}

void tst_RunEvents::modeStartAndEnd() {
    const RunEvents events(m_home->path(), m_credentials.signer(), m_clock.clock());
    events.modeStarted();
    m_clock.now = m_clock.now.addSecs(1);
    events.modeEnded();
    QCOMPARE(types(), (QStringList{"01", "02"}));
}

void tst_RunEvents::checkAtStartRaisesTheAlarmUntilResolved() {
    RunEvents events(m_home->path(), m_credentials.signer(), m_clock.clock());
    events.modeStarted();
    QVERIFY(events.checkIntegrity().ok());
    QVERIFY(!events.alarm());

    const QString out = sqlite(m_home->filePath(QStringLiteral("Libro.db")),
                               "DROP TRIGGER events_fixed; UPDATE events SET bytes = "
                               "CAST(replace(CAST(bytes AS TEXT), 'Ana Pérez', 'Ana Perez') AS "
                               "BLOB) WHERE sequence = 1; SELECT changes();");
    QVERIFY2(out.trimmed() == "1", qPrintable(out));
    m_clock.now = m_clock.now.addSecs(60);
    QVERIFY(!events.checkIntegrity().ok());
    QVERIFY(events.alarm());
    QVERIFY(types().contains(QStringLiteral("06")));

    // A restart finds it on; resolved with a note, it goes.
    const RunEvents restarted(m_home->path(), m_credentials.signer(), m_clock.clock());
    QVERIFY(restarted.alarm());
    QVERIFY_THROWS_EXCEPTION(AppError, restarted.resolveAlarm(QStringLiteral("  ")));
    restarted.resolveAlarm(QStringLiteral("Revisado con la gestoría"));
    QVERIFY(!restarted.alarm());
    QCOMPARE(types().last(), QStringLiteral("90"));
}

QTEST_GUILESS_MAIN(tst_RunEvents)
#include "tst_RunEvents.moc"
