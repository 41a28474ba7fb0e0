#pragma once
// What the paint tests look at: a widget's paint events and the region they
// painted, and a window's picture as the screen holds it against a fresh
// paint of all of it (offscreen, the screen is the window's backing store).
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>
#include <QScreen>
#include <QWidget>

// Counts a widget's paint events and gathers the region they painted.
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

// The window as painted so far, after what waits for paint is painted.
inline QImage OnScreen(QWidget &window) {
    QCoreApplication::processEvents();
    return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The window painted afresh, every widget in full.
inline QImage Fresh(QWidget &window) {
    return window.grab().toImage().convertToFormat(QImage::Format_RGB32);
}
