#pragma once
// Counts a widget's paint events and gathers the region they painted.
#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>
#include <QWidget>

class PaintCount : public QObject {
public:
    explicit PaintCount(QWidget *w) { w->installEventFilter(this); }
    int Paints = 0;
    QRegion Painted;

protected:
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint) {
            ++Paints;
            Painted += static_cast<QPaintEvent *>(e)->region();
        }
        return false;
    }
};
