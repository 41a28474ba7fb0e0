#pragma once
// A worker thread that can be waited for with a limit. Its body owns what it
// uses (shared pointers), so a thread left running after the wait is safe.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TWorkerThread {
public:
    TWorkerThread();
    virtual ~TWorkerThread();
    TWorkerThread(const TWorkerThread &) = delete;
    TWorkerThread &operator=(const TWorkerThread &) = delete;

    // Starts the thread; throws std::system_error when it cannot be created.
    void Start();
    // True once the body has returned (or the thread never started).
    bool WaitFor(int ms);
    bool Ended() const;
    // Joins an ended thread; one still running is left to finish on its own.
    void Release();

protected:
    virtual std::function<void()> Body() = 0;

private:
    struct TState {
        std::mutex Mutex;
        std::condition_variable Cond;
        bool Done = false;
    };
    std::shared_ptr<TState> State;
    std::thread Thread;
};
