// The widgets that change during a download paint every pixel they own: a new
// value repaints the widget alone, never the window beneath it, also after the
// style has polished them (Fusion clears the flag for progress and scroll bars).
#include <QStyle>
#include <QStyleFactory>
#include <QtTest>
#include <functional>
#include <memory>

#include "forms/qt/GaugeView.h"
#include "forms/qt/SteadyScrollBar.h"
#include "tests/qt/PaintChecks.h"

namespace {

struct Case {
    const char *Name;
    std::function<QWidget *(QWidget *parent)> Make;
    std::function<void(QWidget *)> Change;
};

} // namespace

class OpaquePaintTest : public QObject {
    Q_OBJECT

private slots:
    void aChangeRepaintsTheWidgetAlone() {
        const Case cases[] = {
            {"gauge",
             [](QWidget *parent) {
                 auto *g = new GaugeView(parent);
                 g->setGeometry(10, 10, 300, 26);
                 return g;
             },
             [](QWidget *w) { static_cast<GaugeView *>(w)->setValue(57); }},
            {"scroll bar",
             [](QWidget *parent) {
                 auto *b = new SteadyScrollBar(Qt::Vertical, parent);
                 b->setGeometry(10, 10, 16, 200);
                 b->setRange(0, 100);
                 b->setValue(100);
                 return b;
             },
             [](QWidget *w) { static_cast<SteadyScrollBar *>(w)->setValue(0); }},
        };
        for (const char *style : {"Fusion", "Windows"}) {
            for (const Case &c : cases) {
                const QByteArray what = QByteArray(c.Name) + " in " + style;
                std::unique_ptr<QStyle> s(QStyleFactory::create(style));
                QVERIFY2(s, what);
                QWidget top;
                top.setStyle(s.get());
                top.resize(340, 240);
                QWidget *w = c.Make(&top);
                w->setStyle(s.get());
                top.show();
                QVERIFY2(QTest::qWaitForWindowExposed(&top), what);
                QCoreApplication::processEvents();
                PaintCount window(&top), widget(w);
                c.Change(w);
                QTRY_VERIFY2(widget.Paints > 0, what);
                QCOMPARE(window.Paints, 0);
            }
        }
    }
};

QTEST_MAIN(OpaquePaintTest)
#include "OpaquePaintTest.moc"
