#include "platform/FileWait.h"

#include <poll.h>

namespace {

class TSystemFileWait : public TFileWait {
public:
    TFileWaitClock::time_point Now() override { return TFileWaitClock::now(); }
    int UntilWritable(int fd, std::chrono::milliseconds timeout) override {
        pollfd p{fd, POLLOUT, 0};
        return ::poll(&p, 1, static_cast<int>(timeout.count()));
    }
    void Pause(std::chrono::milliseconds pause) override {
        ::poll(nullptr, 0, static_cast<int>(pause.count()));
    }
};

} // namespace

TFileWait &SystemFileWait() {
    // Holds no state: one for every caller and thread.
    static TSystemFileWait wait;
    return wait;
}
