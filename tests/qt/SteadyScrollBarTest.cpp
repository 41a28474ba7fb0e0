// The information panel's scroll bar: a line added at the bottom of a long
// panel changes its range but not its pixels, and is not painted; a move of
// the slider is.
#include <QtTest>

#include "forms/qt/SteadyScrollBar.h"
#include "tests/qt/PaintCount.h"

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
            SteadyScrollBar::Batch batch(bar); // a new line: the range, then the value
            bar.setRange(0, lines);
            bar.setValue(lines);
        }
        QCoreApplication::processEvents();
        QCOMPARE(log.Paints, paints);

        bar.setValue(0); // the operator scrolls to the top
        QTRY_VERIFY(log.Paints > paints);
    }
};

QTEST_MAIN(SteadyScrollBarTest)
#include "SteadyScrollBarTest.moc"
