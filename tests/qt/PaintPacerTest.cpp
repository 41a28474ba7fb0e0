// The paint pacer: a change after a quiet spell is painted at once, a burst
// of changes is painted once, and not before the interval after the paint
// before it is over.
#include <QElapsedTimer>
#include <QLabel>
#include <QtTest>

#include "forms/qt/PaintPacer.h"

namespace {

// Counts a widget's paints and when the last two happened, and when its
// window last asked for paint (whether or not that painted the widget).
class PaintLog : public QObject {
public:
    explicit PaintLog(QWidget *w) : Window(w->window()) {
        Clock.start();
        w->installEventFilter(this);
        Window->installEventFilter(this);
    }
    QWidget *Window;
    int Paints = 0;
    qint64 Last = 0, BeforeLast = 0, LastRequest = 0;
    QElapsedTimer Clock;

protected:
    bool eventFilter(QObject *o, QEvent *e) override {
        if (o == Window && e->type() == QEvent::UpdateRequest)
            LastRequest = Clock.elapsed();
        if (o != Window && e->type() == QEvent::Paint) {
            ++Paints;
            BeforeLast = Last;
            Last = Clock.elapsed();
        }
        return false;
    }
};

} // namespace

class PaintPacerTest : public QObject {
    Q_OBJECT

private slots:
    void paintsAtOnceAfterQuietAndOncePerIntervalInABurst() {
        // Long enough that the burst below, a few calls, is over well within it
        // even on a busy machine.
        const int interval = 1000;
        QWidget window;
        window.resize(200, 60);
        auto *label = new QLabel("0", &window);
        label->setGeometry(10, 10, 150, 30);
        auto *pacer = new PaintPacer(&window, interval);
        PaintLog log(label);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(log.Paints > 0);

        // After a quiet spell a change is painted as soon as it asks for paint.
        // Quiet: no paint held back, and none asked for within the interval
        // (the window's own first requests may come late on a busy machine).
        QTRY_VERIFY_WITH_TIMEOUT(!pacer->Waiting() && log.Clock.elapsed() - log.LastRequest > interval,
                                 10000);
        int paints = log.Paints;
        label->setText("1");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(log.Paints, paints + 1);

        // A burst right after it is painted once, with its last change, when
        // the interval is over.
        paints = log.Paints;
        const qint64 burstStart = log.Clock.elapsed();
        for (int i = 2; i <= 10; ++i) {
            label->setText(QString::number(i));
            QCoreApplication::sendPostedEvents();
        }
        QVERIFY2(log.Clock.elapsed() - burstStart < interval, "the burst must fit in one interval");
        QTRY_VERIFY_WITH_TIMEOUT(log.Paints > paints, 10000);
        QCOMPARE(log.Paints, paints + 1);
        // Two millisecond clocks read at different moments: one tick of slack.
        QVERIFY2(log.Last - log.BeforeLast >= interval - 1,
                 qPrintable(QString::number(log.Last - log.BeforeLast)));
        QCOMPARE(label->text(), QString("10"));
    }

    // A refresh that changes several widgets, one of which asks to be painted
    // at once, is painted once, after all of them.
    void aHoldPaintsEverythingItChangedOnceAtItsEnd() {
        QWidget window;
        window.resize(200, 100);
        auto *first = new QLabel("a", &window);
        first->setGeometry(10, 10, 150, 30);
        auto *second = new QLabel("b", &window);
        second->setGeometry(10, 50, 150, 30);
        auto *pacer = new PaintPacer(&window, 50);
        PaintLog one(first), two(second);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY_WITH_TIMEOUT(!pacer->Waiting() && one.Clock.elapsed() - one.LastRequest > 50, 10000);

        const int paintsOne = one.Paints, paintsTwo = two.Paints;
        {
            Deferral::Hold hold(pacer->PaintRequests());
            first->setText("A");
            first->repaint(); // asks for paint at once, as a progress bar does
            second->setText("B");
            QCoreApplication::sendPostedEvents();
            QCOMPARE(one.Paints, paintsOne);
            QVERIFY(pacer->Waiting());
        }
        QCoreApplication::sendPostedEvents();
        QTRY_VERIFY_WITH_TIMEOUT(one.Paints > paintsOne && two.Paints > paintsTwo, 10000);
        QCOMPARE(one.Paints, paintsOne + 1);
        QCOMPARE(two.Paints, paintsTwo + 1);
    }
};

QTEST_MAIN(PaintPacerTest)
#include "PaintPacerTest.moc"
