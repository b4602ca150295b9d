#include "sending/SendingSchedule.h"

#include <QTest>

// When the next message may go, on a fake clock: the service's pause, a full
// message, retries after failures, a message refused as a whole, a clock set
// back, and the state kept across a restart.
class tst_SendingSchedule : public QObject {
    Q_OBJECT
private slots:
    void scenarios_data();
    void scenarios();
    void outageRetriedAtLeastHourly();
    void stateSurvivesRestart();
};

namespace {

const QDateTime Start(QDate(2027, 3, 1), QTime(9, 0), Qt::UTC);

} // namespace

// Each scenario is a list of steps on one schedule:
//   "+N"  the clock moves N seconds
//   "aN"  a message was answered with TiempoEsperaEnvio N
//   "f"   an attempt failed (no answer)
//   "c"   the message was refused as a whole (client fault)
//   "r"   the person asks to send again
//   "?P=y" / "?P=n"  with P records waiting, a message may / may not go now
//   "@P=N"  with P records waiting, the next attempt is N seconds from the start
//   "@P=-"  with P records waiting, there is no next attempt
void tst_SendingSchedule::scenarios_data() {
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("never sent: at once") << QStringList{"?1=y", "@1=0", "?0=n", "@0=-"};
    QTest::newRow("default pause of 60 s")
        << QStringList{"a60", "?1=n", "@1=60", "+59", "?1=n", "+1", "?1=y"};
    QTest::newRow("TiempoEsperaEnvio 120")
        << QStringList{"a120", "+60", "?999=n", "+59", "?999=n", "@999=120", "+1", "?999=y"};
    QTest::newRow("1,000 waiting go at once")
        << QStringList{"a120", "?1000=y", "+10", "?1500=y", "?999=n"};
    QTest::newRow("pause 0") << QStringList{"a0", "?1=y"};
    QTest::newRow("failures wait longer, never past an hour") << QStringList{
        "f", "@1=60", "+60", "f", "@1=180", "+120",    "f",     "@1=420", "+240", "f",
        "f", "f",     "f",   "f", "f",      "@1=4020", "+3599", "?1=n",   "+1",   "?1=y"};
    QTest::newRow("a full message still waits after a failure")
        << QStringList{"f", "?1000=n", "+60", "?1000=y"};
    QTest::newRow("an answer ends the retries")
        << QStringList{"f", "f", "+180", "a60", "@1=240", "+60", "f", "@1=300"};
    QTest::newRow("refused as a whole: held until asked")
        << QStringList{"c", "?1=n", "@1=-", "+7200", "?1000=n", "r", "?1=y"};
    QTest::newRow("asking again still honours the pause")
        << QStringList{"c", "r", "?1=n", "@1=60", "+60", "?1=y"};
    QTest::newRow("clock set back a day") << QStringList{"+86400", "a60", "+-86400", "@1=60"};
}

void tst_SendingSchedule::scenarios() {
    QFETCH(QStringList, steps);
    QDateTime now = Start;
    SendingSchedule schedule([&now] { return now; });

    for (const QString& step : steps) {
        const QString argument = step.mid(1);
        switch (step.at(0).toLatin1()) {
        case '+':
            now = now.addSecs(argument.toInt());
            break;
        case 'a':
            schedule.answered(argument.toInt());
            break;
        case 'f':
            schedule.failed();
            break;
        case 'c':
            schedule.refusedAsWhole();
            break;
        case 'r':
            schedule.resume();
            break;
        case '?': {
            const int pending = argument.section(u'=', 0, 0).toInt();
            const bool expected = argument.section(u'=', 1) == u"y";
            QVERIFY2(schedule.mayStart(pending) == expected,
                     qPrintable(step + QStringLiteral(" at +%1 s").arg(Start.secsTo(now))));
            break;
        }
        case '@': {
            const int pending = argument.section(u'=', 0, 0).toInt();
            const QString expected = argument.section(u'=', 1);
            const QDateTime next = schedule.nextAttempt(pending);
            const QString got = next.isValid() ? QString::number(Start.secsTo(next)) : "-";
            QVERIFY2(got == expected, qPrintable(step + QStringLiteral(": got ") + got));
            break;
        }
        default:
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }
}

void tst_SendingSchedule::outageRetriedAtLeastHourly() {
    // The service is down for three hours: attempts every time the schedule
    // allows, never more than an hour apart; the first after it is back sends.
    QDateTime now = Start;
    SendingSchedule schedule([&now] { return now; });
    const QDateTime back = Start.addSecs(3 * 3600);
    QList<QDateTime> attempts;
    while (true) {
        const QDateTime next = schedule.nextAttempt(5);
        QVERIFY(next.isValid());
        now = next;
        attempts.append(now);
        if (now >= back)
            break;
        schedule.failed();
    }
    QVERIFY(attempts.size() >= 4);
    for (qsizetype i = 1; i < attempts.size(); ++i)
        QVERIFY(attempts.at(i - 1).secsTo(attempts.at(i)) <= 3600);
    QVERIFY(attempts.last().secsTo(back) > -3600);
}

void tst_SendingSchedule::stateSurvivesRestart() {
    QDateTime now = Start;
    SendingSchedule before([&now] { return now; });
    before.answered(120);
    before.failed();
    now = now.addSecs(30);

    SendingSchedule after([&now] { return now; }, before.state());
    QCOMPARE(after.state(), before.state());
    QCOMPARE(after.nextAttempt(1), before.nextAttempt(1));
    QVERIFY(!after.mayStart(1000));
}

QTEST_GUILESS_MAIN(tst_SendingSchedule)
#include "tst_SendingSchedule.moc"
