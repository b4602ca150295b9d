#include "common/AppError.h"
#include "widgets/BackgroundWork.h"

#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>

// Work beside the window: it runs off the window's thread, the window keeps
// handling events meanwhile, and what the work throws reaches the caller.
class tst_BackgroundWork : public QObject {
    Q_OBJECT
private slots:
    void windowKeepsAnswering() {
        QWidget window;
        window.show();
        int ticks = 0;
        QTimer clock;
        connect(&clock, &QTimer::timeout, this, [&] { ++ticks; });
        clock.start(10);
        QThread* workThread = nullptr;
        BackgroundWork::run(&window, QStringLiteral("Trabajando…"), [&] {
            workThread = QThread::currentThread();
            QThread::msleep(300);
        });
        QVERIFY(workThread && workThread != QThread::currentThread());
        QVERIFY(ticks > 0);
    }

    void failureReachesTheCaller() {
        QWidget window;
        try {
            BackgroundWork::run(&window, QStringLiteral("Trabajando…"), [] {
                throw AppError(QStringLiteral("La factura no se ha podido firmar"));
            });
            QFAIL("nothing thrown");
        } catch (const AppError& e) {
            QCOMPARE(e.message(), QStringLiteral("La factura no se ha podido firmar"));
        }
    }
};

QTEST_MAIN(tst_BackgroundWork)
#include "tst_BackgroundWork.moc"
