#pragma once
// The main-thread queue of the Qt programs: Post (from any thread) queues the
// event into the Qt event loop, so it also runs inside modal dialogs.
#include <QObject>
#include <functional>

#include "platform/EventQueue.h"

class QtEventQueue : public QObject, public TEventQueue {
    Q_OBJECT
public:
    explicit QtEventQueue(QObject *parent = nullptr);
    void Post(Event ev) override;
    // Runs around every event: catches its exceptions and shows the window
    // again. Without it an event runs bare.
    std::function<void(const Event &)> Runner;
};
