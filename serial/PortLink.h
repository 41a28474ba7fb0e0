#pragma once
// What an open TComm shares with its reader and writer threads: the port
// handle and its lock file, the close event, the send queue, the flags and the
// read time-outs. Owned jointly, so a thread that outlives ClosePort's wait
// never sees a closed handle; the handles close and the lock file goes with
// the last owner.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "serial/UucpLock.h"

class TComm;
class TEventQueue;

// Stands for the component in events on their way to the main thread; the
// component clears it when it is destroyed. Touched on the main thread only.
struct TCommToken {
    TComm *Comm = nullptr;
};

// Messages from the threads to the component.
enum : unsigned {
    PortMsgReceiveData = 0x401,
    PortMsgReceiveError = 0x402,
    PortMsgRequestHangup = 0x403,
    PortMsgModemState = 0x404,
    PortMsgSendEmpty = 0x405,
};

struct TPortLink {
    TPortLink(TEventQueue &queue, std::shared_ptr<TCommToken> token, int fd, TUucpLock lock);
    ~TPortLink();
    TPortLink(const TPortLink &) = delete;
    TPortLink &operator=(const TPortLink &) = delete;

    // Creates the close event and the writer's wake-up; false on failure.
    bool CreateEvents();

    void SignalClose();
    bool Closing() const;

    // Posts a message to the component on the main thread; false when it
    // could not be queued. A block passes to the event with its bytes and a
    // trailing zero.
    bool Post(unsigned msg, uint32_t param, std::vector<uint8_t> block = {});
    // A thread gives up on the device: one hang-up request per open port, none
    // once the close event is signalled.
    void RequestHangup();

    // Send requests: each holds its bytes plus one spare zero byte.
    bool QueueSend(std::vector<uint8_t> block);
    bool TakeSend(std::vector<uint8_t> &block);

    TEventQueue &Queue;
    const std::shared_ptr<TCommToken> Token;
    const int Fd;
    int CloseEvent = -1;
    int WriteWake = -1;

    std::atomic<bool> SendEmpty{true};
    std::atomic<bool> IgnoreNullChar{false};
    std::atomic<uint32_t> ReadInterval{0};
    std::atomic<uint32_t> ReadTotalMultiplier{0};
    std::atomic<uint32_t> ReadTotalConstant{0};

private:
    TUucpLock Lock; // removed after the handle is closed
    std::atomic<bool> Closed{false};
    std::atomic<bool> HangupPosted{false};
    std::mutex SendMutex;
    std::deque<std::vector<uint8_t>> SendQueue;
};
