#include "forms/qt/QtEventQueue.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

namespace {

// Events run per ring before the loop gets its turn again (timers, input,
// paint): a flood of reports never starves the window.
constexpr int kRunsPerRing = 64;

} // namespace

QtEventQueue::QtEventQueue(QObject *parent) : QObject(parent) {}

void QtEventQueue::Post(Event ev) {
    bool ring = false;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Events.push_back(std::move(ev));
        ring = !Rung;
        Rung = true;
    }
    if (ring)
        Ring();
}

void QtEventQueue::Ring() {
    // A ring still queued when the queue is destroyed is dropped by Qt with it.
    QCoreApplication::postEvent(this, new QEvent(RingType));
}

bool QtEventQueue::event(QEvent *e) {
    if (e->type() != RingType)
        return QObject::event(e);
    Drain();
    return true;
}

void QtEventQueue::Drain() {
    if (!Watching) {
        // An event that opens a modal dialog runs a loop of its own: events
        // posted meanwhile must run in it, not wait for the dialog to close.
        if (auto *loop = QAbstractEventDispatcher::instance(thread())) {
            connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] { BeforeWait(); });
            Watching = true;
        }
    }
    struct Run {
        int &Count;
        explicit Run(int &count) : Count(count) { ++Count; }
        ~Run() { --Count; }
    } run(Running);
    for (int n = 0; n < kRunsPerRing; ++n) {
        Event ev;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            if (Events.empty())
                break;
            ev = std::move(Events.front());
            Events.pop_front();
        }
        try {
            if (Runner)
                Runner(ev);
            else
                ev();
        } catch (...) {
            RingForWhatWaits(); // the events behind the failed one still run
            throw;
        }
    }
    RingForWhatWaits();
}

void QtEventQueue::RingForWhatWaits() {
    bool ring = false;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        ring = Rung = !Events.empty(); // none: the next event rings for itself
    }
    if (ring)
        Ring();
}

void QtEventQueue::BeforeWait() {
    // Only a loop inside a running event waits here with the run unfinished.
    if (Running)
        RingForWhatWaits();
}
