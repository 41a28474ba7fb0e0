#include "forms/qt/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintPacer::PaintPacer(QWidget *window, int intervalMs)
    : QObject(window), Window(window), Interval(intervalMs) {
    Clock.start();
    LastPaint = -intervalMs;
    Later.setSingleShot(true);
    Later.setTimerType(Qt::PreciseTimer); // never early: the pace holds

    connect(&Later, &QTimer::timeout, this, [this] { PaintNow(); });
    window->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject *o, QEvent *e) {
    // The window paints everything that waits for paint on an update request.
    if (o != Window || e->type() != QEvent::UpdateRequest || Painting)
        return false;
    const qint64 since = Clock.elapsed() - LastPaint;
    if (!Later.isActive() && since >= Interval) {
        LastPaint = Clock.elapsed();
        return false;
    }
    // What is waiting stays marked for paint until the pacer asks again.
    if (!Later.isActive())
        Later.start(static_cast<int>(Interval - since));
    return true;
}

void PaintPacer::PaintNow() {
    LastPaint = Clock.elapsed();
    Painting = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(Window, &request);
    Painting = false;
}
