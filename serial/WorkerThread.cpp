#include "serial/WorkerThread.h"

#include <chrono>

TWorkerThread::TWorkerThread() : State(std::make_shared<TState>()) {}

TWorkerThread::~TWorkerThread() {
    Release();
}

void TWorkerThread::Start() {
    Thread = std::thread([state = State, body = Body()] {
        body();
        std::lock_guard<std::mutex> lock(state->Mutex);
        state->Done = true;
        state->Cond.notify_all();
    });
}

bool TWorkerThread::WaitFor(int ms) {
    if (!Thread.joinable())
        return true;
    std::unique_lock<std::mutex> lock(State->Mutex);
    return State->Cond.wait_for(lock, std::chrono::milliseconds(ms), [this] { return State->Done; });
}

bool TWorkerThread::Ended() const {
    if (!Thread.joinable())
        return true;
    std::lock_guard<std::mutex> lock(State->Mutex);
    return State->Done;
}

void TWorkerThread::Release() {
    if (!Thread.joinable())
        return;
    if (Ended())
        Thread.join();
    else
        Thread.detach();
}
