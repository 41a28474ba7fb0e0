#include "platform/EventQueue.h"

#include <algorithm>

namespace {

constexpr std::chrono::milliseconds kRecheck{5};

} // namespace

void TPumpQueue::Post(Event ev) {
    {
        std::lock_guard<std::mutex> lock(Mutex);
        Events.push_back(std::move(ev));
    }
    Cond.notify_all();
}

bool TPumpQueue::RunOne() {
    Event ev;
    {
        std::lock_guard<std::mutex> lock(Mutex);
        if (Events.empty())
            return false;
        ev = std::move(Events.front());
        Events.pop_front();
    }
    if (ev)
        ev();
    return true;
}

std::size_t TPumpQueue::Pump() {
    std::size_t n = 0;
    while (RunOne())
        ++n;
    return n;
}

bool TPumpQueue::PumpUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        Pump();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // done() may also change with another thread's state that posts no
        // event: it is looked at again after a short wait.
        const auto wake = std::min(deadline, std::chrono::steady_clock::now() + kRecheck);
        std::unique_lock<std::mutex> lock(Mutex);
        Cond.wait_until(lock, wake, [this] { return !Events.empty(); });
    }
}

std::size_t TPumpQueue::Pending() const {
    std::lock_guard<std::mutex> lock(Mutex);
    return Events.size();
}
