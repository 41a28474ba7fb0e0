// The information panel's scroll bar: a line added at the bottom of a long
// panel changes its range but not its pixels, and is not painted; a move of
// the slider is.
#include <QtTest>

#include "forms/qt/SteadyScrollBar.h"
#include "tests/qt/PaintChecks.h"

class SteadyScrollBarTest : public QObject {
    Q_OBJECT

private slots:
    void paintsOnlyWhatChangesItsPixels() {
        SteadyScrollBar bar(Qt::Vertical);
        bar.resize(16, 300);
        bar.setPageStep(20);
        bar.setRange(0, 100000);
        bar.setValue(100000); // a long panel, at its last line
        PaintCount log(&bar);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        QTRY_VERIFY(log.Paints > 0);
        QCoreApplication::processEvents();

        const int paints = log.Paints;
        for (int lines = 100001; lines <= 100010; ++lines) {
            Deferral::Hold batch(bar.Moves()); // a new line: the range, then the value
            bar.setRange(0, lines);
            bar.setValue(lines);
        }
        QCoreApplication::processEvents();
        QCOMPARE(log.Paints, paints);

        bar.setValue(0); // the operator scrolls to the top
        QTRY_VERIFY(log.Paints > paints);
    }

    // A slider that moves repaints only the bands it left and entered; what is
    // on screen afterwards is what a paint of the whole bar draws.
    void aMovedSliderLeavesNoTrace() {
        QWidget top;
        top.resize(40, 320);
        auto *bar = new SteadyScrollBar(Qt::Vertical, &top);
        bar->setGeometry(10, 10, 16, 300);
        bar->setPageStep(20);
        bar->setRange(0, 40);
        bar->setValue(20); // away from both ends: the arrows stay as they are
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        const QImage before = OnScreen(top);
        PaintCount log(bar);
        for (int lines = 50; lines <= 80; lines += 10) {
            Deferral::Hold batch(bar->Moves());
            bar->setRange(0, lines);
            bar->setValue(lines / 2);
        }
        const QImage after = OnScreen(top);
        const int paints = log.Paints;
        const QRect painted = log.Painted.boundingRect();
        QCOMPARE(after, Fresh(top)); // the fresh paint comes after the count
        QVERIFY(after != before);
        QVERIFY(paints > 0);
        QVERIFY2(painted.height() < bar->height(),
                 qPrintable(QString("painted %1 of %2 rows").arg(painted.height()).arg(bar->height())));
    }
};

QTEST_MAIN(SteadyScrollBarTest)
#include "SteadyScrollBarTest.moc"
