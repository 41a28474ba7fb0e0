#pragma once
// How the file writer waits: for a stream to take more bytes and for a file's
// lock, each for a bounded time. Behind an
// interface so that tests drive the time instead of waiting for it.
#include <chrono>

using TFileWaitClock = std::chrono::steady_clock;

// An append or a write in place that waits this long for the file's lock
// goes on without it.
constexpr std::chrono::milliseconds kNoProgressLimit{5000};
// A stream write not done this long after it began fails with ETIMEDOUT.
constexpr std::chrono::milliseconds kStreamWriteLimit{5000};
// How often a lock held by another writer is tried again.
constexpr std::chrono::milliseconds kLockRetry{10};

class TFileWait {
public:
    virtual ~TFileWait() = default;
    virtual TFileWaitClock::time_point Now() = 0;
    // Waits until `fd` may take bytes, something went wrong with it, or
    // `timeout` passed; as poll(2) (0: the time passed).
    virtual int UntilWritable(int fd, std::chrono::milliseconds timeout) = 0;
    // Lets `pause` pass.
    virtual void Pause(std::chrono::milliseconds pause) = 0;
};

// The real clock and poll(2).
TFileWait &SystemFileWait();
