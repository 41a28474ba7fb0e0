// The refresh pacer: an event after a quiet spell is shown at once, the rest
// of a burst once when the interval is over, and a user's action at once.
#include <QElapsedTimer>
#include <QtTest>

#include "forms/qt/RefreshPacer.h"

class RefreshPacerTest : public QObject {
    Q_OBJECT

private slots:
    void showsAtOnceHoldsABurstAndGivesWayToTheUser() {
        int shown = 0;
        RefreshPacer pacer(60000, [&shown] { ++shown; }); // never runs out here
        pacer.Request();
        QCOMPARE(shown, 1);
        QVERIFY(!pacer.Waiting());

        pacer.Request();
        pacer.Request();
        QCOMPARE(shown, 1);
        QVERIFY(pacer.Waiting());
        pacer.Flush(); // the user acts: what waits is shown first
        QCOMPARE(shown, 2);
        QVERIFY(!pacer.Waiting());
        pacer.Flush(); // nothing waits
        QCOMPARE(shown, 2);

        pacer.Request();
        QVERIFY(pacer.Waiting());
        pacer.Now();
        QCOMPARE(shown, 3);
        QVERIFY(!pacer.Waiting());
        QCoreApplication::processEvents();
        QCOMPARE(shown, 3); // the held-back refresh went with Now
    }

    void aHeldBackRefreshComesWhenTheIntervalIsOver() {
        const int interval = 200;
        int shown = 0;
        QElapsedTimer clock;
        qint64 first = 0, second = 0;
        RefreshPacer pacer(interval, [&] {
            (shown == 0 ? first : second) = clock.elapsed();
            ++shown;
        });
        clock.start();
        pacer.Request();
        pacer.Request();
        QCOMPARE(shown, 1);
        QTRY_COMPARE_WITH_TIMEOUT(shown, 2, 10000);
        QVERIFY2(second - first >= interval, qPrintable(QString::number(second - first)));
        QVERIFY(!pacer.Waiting());
    }

    // On the caller's beat the pacer keeps no timer of its own: a held refresh
    // waits for the first beat after the interval, however long that takes.
    void theCallersBeatCarriesAHeldRefresh() {
        const int interval = 30;
        int shown = 0;
        RefreshPacer pacer(interval, [&shown] { ++shown; });
        pacer.Request(true);
        QCOMPARE(shown, 1); // after quiet: at once, beat or not
        pacer.Request(true);
        QVERIFY(pacer.Waiting());

        // Ten ticks of a 10 ms timer: three intervals and more, and no refresh came.
        int ticks = 0;
        QTimer clock;
        QObject::connect(&clock, &QTimer::timeout, [&ticks] { ++ticks; });
        clock.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, 10000);
        QCOMPARE(shown, 1);
        QVERIFY(pacer.Waiting());

        pacer.Request(true); // the beat after the interval
        QCOMPARE(shown, 2);
        QVERIFY(!pacer.Waiting());

        pacer.Request(true);
        QVERIFY(pacer.Waiting());
        pacer.Flush(); // the user acts
        QCOMPARE(shown, 3);
        QVERIFY(!pacer.Waiting());
    }
};

QTEST_MAIN(RefreshPacerTest)
#include "RefreshPacerTest.moc"
