// The information panel: a line added at the end moves the picture and paints
// the new line alone, and what is on screen then is what a full paint draws;
// the end is followed unless the operator scrolled back; long lines wrap or
// scroll sideways; the mouse selects and the usual keys copy.
#include <QClipboard>
#include <QScrollBar>
#include <QtTest>

#include "forms/qt/MemoView.h"
#include "tests/qt/PaintChecks.h"

namespace {

QString LineText(int i) {
    return QString("> 2026-12-10 17:%1 Device %2 : Operation Success!")
        .arg(i % 60, 2, 10, QChar('0'))
        .arg(i % 4 + 1);
}

QStringList Lines(int from, int count) {
    QStringList out;
    for (int i = from; i < from + count; ++i)
        out << LineText(i);
    return out;
}

// The panel in a window of its own, shown and painted.
struct Shown {
    QWidget Top;
    MemoView *View = new MemoView(&Top);
    Shown() {
        Top.resize(420, 220);
        View->setGeometry(10, 10, 400, 200);
        Top.show();
    }
    bool Ready() { return QTest::qWaitForWindowExposed(&Top); }
    QImage OnScreen() { return ::OnScreen(Top); }
    QImage Fresh() { return ::Fresh(Top); }
};

} // namespace

class MemoViewTest : public QObject {
    Q_OBJECT

private slots:
    void aLineAtTheEndPaintsOnlyItselfAndTheScreenIsRight() {
        Shown s;
        s.View->Append(Lines(0, 100));
        QVERIFY(s.Ready());
        QCoreApplication::processEvents();
        QVERIFY(s.View->AtEnd());
        const qsizetype top = s.View->TopLine();
        QVERIFY(top > 0);

        PaintCount viewport(s.View->viewport()), window(&s.Top);
        for (int i = 100; i < 103; ++i) {
            s.View->Append({LineText(i)});
            QCoreApplication::processEvents();
        }
        QCOMPARE(s.View->TopLine(), top + 3);
        QVERIFY(s.View->AtEnd());
        QVERIFY(viewport.Paints > 0);
        const int row = s.View->fontMetrics().lineSpacing();
        QVERIFY2(viewport.Painted.boundingRect().height() <= 2 * row,
                 qPrintable(QString("painted %1 px for lines of %2 px")
                                .arg(viewport.Painted.boundingRect().height())
                                .arg(row)));
        QCOMPARE(window.Paints, 0);
        QCOMPARE(s.OnScreen(), s.Fresh());

        // A burst between two paints, more lines than the panel shows.
        s.View->Append(Lines(103, 40));
        QCoreApplication::processEvents();
        QVERIFY(s.View->AtEnd());
        QCOMPARE(s.OnScreen(), s.Fresh());
    }

    void theEndIsFollowedUnlessTheOperatorScrolledBack() {
        Shown s;
        s.View->Append(Lines(0, 50));
        QVERIFY(s.Ready());
        s.View->verticalScrollBar()->setValue(5);
        s.View->Append(Lines(50, 10));
        QCOMPARE(s.View->TopLine(), 5);
        QVERIFY(!s.View->AtEnd());
        QCoreApplication::processEvents();
        QCOMPARE(s.OnScreen(), s.Fresh());

        QTest::keyClick(s.View, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(s.View->AtEnd());
        s.View->Append(Lines(60, 1));
        QVERIFY(s.View->AtEnd());
        s.View->Clear();
        QCOMPARE(s.View->LineCount(), 0);
        QCOMPARE(s.View->TopLine(), 0);
        QCOMPARE(s.View->Text(), QString());
    }

    // The y of the second row of a line that wraps falls on that line; unwrapped,
    // on the next line, and the panel scrolls sideways instead.
    void longLinesWrapOrScrollSideways() {
        const QString longLine = QString("> ") + QString("0123456789 ").repeated(20);
        for (const bool wrap : {true, false}) {
            Shown s;
            s.View->SetWrap(wrap);
            s.View->Append({longLine, "> short one", "> short two"});
            QVERIFY(s.Ready());
            const int row = s.View->fontMetrics().lineSpacing();
            QTest::mouseDClick(s.View->viewport(), Qt::LeftButton, {}, QPoint(20, row + row / 2));
            QCOMPARE(s.View->SelectedText(), wrap ? longLine : QString("> short one"));
            QCOMPARE(s.View->horizontalScrollBar()->maximum() > 0, !wrap);
            QCOMPARE(s.OnScreen(), s.Fresh());
        }
    }

    void theMouseSelectsAndTheKeysCopy() {
        Shown s;
        s.View->Append({"> first", "> second line", "> third"});
        QVERIFY(s.Ready());
        const int row = s.View->fontMetrics().lineSpacing();
        QTest::mousePress(s.View->viewport(), Qt::LeftButton, {}, QPoint(1, row / 2));
        QMouseEvent drag(QEvent::MouseMove, QPointF(390, row + row / 2), QPointF(390, row + row / 2),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s.View->viewport(), &drag);
        QTest::mouseRelease(s.View->viewport(), Qt::LeftButton, {}, QPoint(390, row + row / 2));
        QCOMPARE(s.View->SelectedText(), QString("> first\n> second line"));

        QApplication::clipboard()->setText("old");
        QTest::keySequence(s.View, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QString("> first\n> second line"));
        QTest::keySequence(s.View, QKeySequence::SelectAll);
        QCOMPARE(s.View->SelectedText(), s.View->Text());

        s.View->Select(2, 2); // nothing: copying leaves the clipboard alone
        QVERIFY(!s.View->HasSelection());
        QTest::keySequence(s.View, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QString("> first\n> second line"));
        QCOMPARE(s.OnScreen(), s.Fresh());
    }
};

QTEST_MAIN(MemoViewTest)
#include "MemoViewTest.moc"
