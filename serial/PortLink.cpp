#include "serial/PortLink.h"

#include <unistd.h>

#include "platform/EventQueue.h"
#include "serial/Comm.h"
#include "serial/PosixPort.h"

TPortLink::TPortLink(TEventQueue &queue, std::shared_ptr<TCommToken> token, int fd, TUucpLock lock)
    : Queue(queue), Token(std::move(token)), Fd(fd), Lock(std::move(lock)) {}

TPortLink::~TPortLink() {
    ClosePortHandle(Fd);
    if (CloseEvent >= 0)
        ::close(CloseEvent);
    if (WriteWake >= 0)
        ::close(WriteWake);
}

bool TPortLink::CreateEvents() {
    CloseEvent = CreatePollEvent();
    WriteWake = CreatePollEvent();
    return CloseEvent >= 0 && WriteWake >= 0;
}

void TPortLink::SignalClose() {
    Closed.store(true);
    SignalPollEvent(CloseEvent);
}

bool TPortLink::Closing() const {
    return Closed.load();
}

bool TPortLink::Post(unsigned msg, uint32_t param, std::vector<uint8_t> block) {
    try {
        Queue.Post([token = Token, msg, param, block = std::move(block)] {
            if (token->Comm)
                token->Comm->PortWindowProc(msg, param, block.empty() ? nullptr : block.data());
        });
        return true;
    } catch (...) {
        return false;
    }
}

void TPortLink::RequestHangup() {
    if (Closing() || HangupPosted.exchange(true))
        return;
    Post(PortMsgRequestHangup, 0);
}

bool TPortLink::QueueSend(std::vector<uint8_t> block) {
    try {
        std::lock_guard<std::mutex> lock(SendMutex);
        SendQueue.push_back(std::move(block));
        SendEmpty.store(false);
    } catch (...) {
        return false;
    }
    SignalPollEvent(WriteWake);
    return true;
}

bool TPortLink::TakeSend(std::vector<uint8_t> &block) {
    std::lock_guard<std::mutex> lock(SendMutex);
    if (SendQueue.empty()) {
        // Under the lock, so a request queued meanwhile is never reported empty.
        SendEmpty.store(true);
        return false;
    }
    block = std::move(SendQueue.front());
    SendQueue.pop_front();
    return true;
}
