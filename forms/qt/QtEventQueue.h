#pragma once
// The main-thread queue of the Qt programs: Post (from any thread) queues the
// event and rings the Qt event loop, so it also runs inside modal dialogs.
// A burst of events rings once: the loop wakes once and runs them all in
// order, instead of once per event.
#include <QEvent>
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/EventQueue.h"

class QtEventQueue : public QObject, public TEventQueue {
    Q_OBJECT
public:
    explicit QtEventQueue(QObject *parent = nullptr);
    void Post(Event ev) override;
    // Runs around every event: catches its exceptions and shows the window
    // again. Without it an event runs bare.
    std::function<void(const Event &)> Runner;
    // The Qt event that wakes the loop for the queued events.
    static constexpr QEvent::Type RingType = QEvent::User;

protected:
    bool event(QEvent *e) override;

private:
    void Ring();
    void Drain();
    // Rings when events wait; else the next one rings for itself.
    void RingForWhatWaits();
    void BeforeWait();
    std::mutex Mutex;
    std::deque<Event> Events;
    // A ring is on its way, or a run of events will look at the queue again
    // before it ends: a new event needs no ring of its own.
    bool Rung = false;
    int Running = 0; // runs of events under way (main thread only)
    bool Watching = false;
};
