#include "forms/qt/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintPacer::PaintPacer(QWidget *window, int intervalMs)
    : QObject(window), Window(window), Pace(intervalMs, [this] { PaintNow(); }) {
    window->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject *o, QEvent *e) {
    // The window paints everything that waits for paint on an update request;
    // what waits stays marked for paint until the pace asks again.
    if (o != Window || e->type() != QEvent::UpdateRequest || Painting)
        return false;
    Requests.Ask();
    return true;
}

void PaintPacer::PaintNow() {
    Painting = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(Window, &request);
    Painting = false;
}
