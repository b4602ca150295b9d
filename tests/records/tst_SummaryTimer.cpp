#include "RecordTestKit.h"
#include "records/SummaryTimer.h"

#include <QTest>

#include <optional>

using RecordTestKit::utc;

using Jumps = QList<QPair<int, int>>; // at the running minute, the clock moves by minutes
Q_DECLARE_METATYPE(Jumps)

// The summary's timing: with a fake clock, how many summaries the program
// writes while it runs (one more at quit is the caller's), and when a tool
// command writes one.
class tst_SummaryTimer : public QObject {
    Q_OBJECT
private slots:
    void whileRunning_data();
    void whileRunning();
    void nextDueFollowsTheClock();
    void toolCommand_data();
    void toolCommand();
};

void tst_SummaryTimer::whileRunning_data() {
    QTest::addColumn<int>("minutes"); // of running, polled every minute
    QTest::addColumn<Jumps>("jumps");
    QTest::addColumn<int>("toolAt"); // running minute a tool writes one; -1 none
    QTest::addColumn<int>("summaries");

    QTest::newRow("13 hours") << 13 * 60 << Jumps() << -1 << 2;
    QTest::newRow("5 h 59 min") << 6 * 60 - 1 << Jumps() << -1 << 0;
    QTest::newRow("6 hours") << 6 * 60 << Jumps() << -1 << 1;
    QTest::newRow("12 h 30 min") << 12 * 60 + 30 << Jumps() << -1 << 2;
    QTest::newRow("clock set back 3 h after 4 h, 13 h of running")
        << 13 * 60 << Jumps{{4 * 60, -3 * 60}} << -1 << 2;
    QTest::newRow("clock set back a day every 5 hours, 13 h of running")
        << 13 * 60 << Jumps{{5 * 60, -24 * 60}, {10 * 60, -24 * 60}} << -1 << 2;
    QTest::newRow("asleep 10 h after 2 h of running, 13 h of running")
        << 13 * 60 << Jumps{{2 * 60, 10 * 60}} << -1 << 2;
    QTest::newRow("a tool wrote one after 5 h, 13 h of running")
        << 13 * 60 << Jumps() << 5 * 60 << 1;
}

void tst_SummaryTimer::whileRunning() {
    QFETCH(int, minutes);
    QFETCH(Jumps, jumps);
    QFETCH(int, toolAt);
    QFETCH(int, summaries);
    QDateTime clock = utc(2027, 3, 5, 8, 0);
    SummaryTimer timer([&clock] { return clock; });
    int written = 0;
    int longest = 0; // minutes of running without a summary
    int since = 0;
    for (int minute = 1; minute <= minutes; ++minute) {
        clock = clock.addSecs(60);
        ++since;
        for (const auto& [at, by] : jumps) {
            if (at == minute)
                clock = clock.addSecs(60 * by);
        }
        if (minute == toolAt) {
            timer.written();
            since = 0;
        }
        if (timer.due()) {
            timer.written();
            ++written;
            longest = qMax(longest, since);
            since = 0;
        }
    }
    QCOMPARE(written, summaries);
    // Never more than 6 hours of running without one (and the minute between
    // two polls when the clock went back in it).
    QVERIFY2(qMax(longest, since) <= 6 * 60 + 1, qPrintable(QString::number(qMax(longest, since))));
}

void tst_SummaryTimer::nextDueFollowsTheClock() {
    QDateTime clock = utc(2027, 3, 5, 8, 0);
    SummaryTimer timer([&clock] { return clock; });
    QCOMPARE(timer.nextDue(), utc(2027, 3, 5, 14, 0));
    clock = utc(2027, 3, 5, 9, 0);
    QVERIFY(!timer.due());
    clock = utc(2027, 3, 5, 7, 0); // set back two hours after one of running
    QCOMPARE(timer.nextDue(), utc(2027, 3, 5, 12, 0));
    clock = utc(2027, 3, 5, 12, 0);
    QVERIFY(timer.due());
    timer.written();
    QCOMPARE(timer.nextDue(), utc(2027, 3, 5, 18, 0));
}

void tst_SummaryTimer::toolCommand_data() {
    QTest::addColumn<std::optional<QDateTime>>("last");
    QTest::addColumn<bool>("due");
    const QDateTime now = utc(2027, 3, 5, 14, 0);
    QTest::newRow("none yet") << std::optional<QDateTime>() << true;
    QTest::newRow("5 h 59 min ago") << std::optional(now.addSecs(-(6 * 3600 - 60))) << false;
    QTest::newRow("6 hours ago") << std::optional(now.addSecs(-6 * 3600)) << true;
    QTest::newRow("two days ago") << std::optional(now.addDays(-2)) << true;
    QTest::newRow("after now: the clock was set back") << std::optional(now.addSecs(3600)) << false;
}

void tst_SummaryTimer::toolCommand() {
    QFETCH(std::optional<QDateTime>, last);
    QFETCH(bool, due);
    QCOMPARE(SummaryTimer::dueForCommand(last, utc(2027, 3, 5, 14, 0)), due);
}

QTEST_GUILESS_MAIN(tst_SummaryTimer)
#include "tst_SummaryTimer.moc"
