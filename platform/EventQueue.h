#pragma once
// The main-thread event queue: worker threads post work, the main thread runs it.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

class TEventQueue {
public:
    using Event = std::function<void()>;
    virtual ~TEventQueue() = default;
    // Safe to call from any thread; the event runs later on the main thread.
    virtual void Post(Event ev) = 0;
};

// A queue the caller pumps by hand: the tests' main loop.
class TPumpQueue : public TEventQueue {
public:
    void Post(Event ev) override;
    // Runs every event queued now (and those they queue); returns how many ran.
    std::size_t Pump();
    // Runs events as they arrive until done() holds or the limit passes;
    // returns done(). Waits on the queue and looks at done() again at least
    // every few milliseconds.
    bool PumpUntil(const std::function<bool()> &done,
                   std::chrono::milliseconds limit = std::chrono::milliseconds(5000));
    std::size_t Pending() const;

private:
    bool RunOne();
    mutable std::mutex Mutex;
    std::condition_variable Cond;
    std::deque<Event> Events;
};
