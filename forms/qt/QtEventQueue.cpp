#include "forms/qt/QtEventQueue.h"

#include <QMetaObject>

QtEventQueue::QtEventQueue(QObject *parent) : QObject(parent) {}

void QtEventQueue::Post(Event ev) {
    // Queued events of a destroyed queue are dropped by Qt with it.
    QMetaObject::invokeMethod(
        this,
        [this, ev = std::move(ev)] {
            if (Runner)
                Runner(ev);
            else
                ev();
        },
        Qt::QueuedConnection);
}
