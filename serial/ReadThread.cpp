#include "serial/ReadThread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "serial/Comm.h"
#include "serial/PortLink.h"
#include "serial/PosixPort.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the driver's line counters are looked at while the line is idle.
constexpr int kCounterPollMs = 50;
// An interval of this value returns whatever has arrived at once.
constexpr uint32_t kNoInterval = 0xFFFFFFFFu;

enum class TReadResult { Bytes, Again, Gone };

TReadResult ReadSome(int fd, uint8_t *dst, size_t room, size_t &got) {
    for (;;) {
        ssize_t k = ::read(fd, dst, room);
        if (k > 0) {
            got = static_cast<size_t>(k);
            return TReadResult::Bytes;
        }
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return TReadResult::Again;
        // read() == 0 or EIO: the device is gone.
        return TReadResult::Gone;
    }
}

class TReader {
public:
    explicit TReader(TPortLink &link) : L(link) {}
    void Execute();

private:
    enum class TStep { Continue, Stop };
    TStep ReadBlock();
    bool DeliverData(size_t count);
    bool CheckLineEvents();
    int PollTimeout(int wantMs) const;

    TPortLink &L;
    uint8_t Buf[kCommReadBlock];
    bool HaveCounters = false;
    TLineCounters Counters;
    bool HaveDeadline = false;
    Clock::time_point Deadline;
};

int TReader::PollTimeout(int wantMs) const {
    if (!HaveDeadline)
        return wantMs;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - Clock::now()).count();
    int leftMs = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
    return wantMs < 0 ? leftMs : std::min(wantMs, leftMs);
}

bool TReader::DeliverData(size_t count) {
    if (count == 0)
        return true;
    std::vector<uint8_t> block;
    try {
        block.reserve(count + 1);
        if (L.IgnoreNullChar.load()) {
            std::copy_if(Buf, Buf + count, std::back_inserter(block), [](uint8_t b) { return b != 0; });
            if (block.empty())
                return true;
        } else {
            block.assign(Buf, Buf + count);
        }
        block.push_back(0);
    } catch (...) {
        L.RequestHangup();
        return false;
    }
    const auto n = static_cast<uint32_t>(block.size() - 1);
    if (!L.Post(PortMsgReceiveData, n, std::move(block))) {
        L.RequestHangup();
        return false;
    }
    return true;
}

bool TReader::CheckLineEvents() {
    if (!HaveCounters)
        return true;
    TLineCounters now;
    if (!ReadLineCounters(L.Fd, now))
        return true; // a device that is gone shows on the next read
    const uint32_t errors = LineErrorBits(Counters, now);
    const uint32_t modem = ModemBits(Counters, now);
    Counters = now;
    if (errors && !L.Post(PortMsgReceiveError, errors)) {
        L.RequestHangup();
        return false;
    }
    if (modem && !L.Post(PortMsgModemState, modem)) {
        L.RequestHangup();
        return false;
    }
    return true;
}

// One read: waits without limit for the first byte (unless total time-outs are
// set), then collects until the line is quiet longer than the read interval or
// the block is full.
TReader::TStep TReader::ReadBlock() {
    const uint32_t interval = L.ReadInterval.load();
    const uint64_t totalMs =
        uint64_t{L.ReadTotalMultiplier.load()} * kCommReadBlock + uint64_t{L.ReadTotalConstant.load()};
    HaveDeadline = totalMs != 0;
    if (HaveDeadline)
        Deadline = Clock::now() + std::chrono::milliseconds(totalMs);

    size_t count = 0;
    for (;;) {
        pollfd p[2] = {{L.CloseEvent, POLLIN, 0}, {L.Fd, POLLIN, 0}};
        const bool waitingFirst = count == 0;
        int want = -1;
        if (waitingFirst)
            want = HaveCounters ? kCounterPollMs : -1;
        else if (interval == kNoInterval)
            want = 0;
        else if (interval != 0)
            want = static_cast<int>(std::min<uint32_t>(interval, 1u << 30));
        const int r = ::poll(p, 2, PollTimeout(want));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            L.RequestHangup();
            return TStep::Stop;
        }
        if (p[0].revents)
            return TStep::Stop; // closing: a read in progress is dropped
        const bool timedOut = HaveDeadline && Clock::now() >= Deadline;
        if (r == 0) {
            if (!waitingFirst)
                break; // the line went quiet
            if (!CheckLineEvents())
                return TStep::Stop;
            if (timedOut)
                return TStep::Continue; // no bytes within the total time-out: read again
            continue;
        }
        if (p[1].revents) {
            size_t got = 0;
            switch (ReadSome(L.Fd, Buf + count, sizeof Buf - count, got)) {
            case TReadResult::Bytes:
                count += got;
                break;
            case TReadResult::Again:
                if (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                    DeliverData(count);
                    L.RequestHangup();
                    return TStep::Stop;
                }
                break;
            case TReadResult::Gone:
                // What arrived before the device went is still handed over.
                DeliverData(count);
                L.RequestHangup();
                return TStep::Stop;
            }
        }
        if (count == sizeof Buf || (count > 0 && timedOut))
            break;
    }
    if (!DeliverData(count))
        return TStep::Stop;
    return CheckLineEvents() ? TStep::Continue : TStep::Stop;
}

void TReader::Execute() {
    HaveCounters = ReadLineCounters(L.Fd, Counters);
    while (!L.Closing() && ReadBlock() == TStep::Continue) {
    }
    ::tcflush(L.Fd, TCIFLUSH);
}

} // namespace

std::function<void()> TReadThread::Body() {
    return [link = Link] {
        TReader reader(*link);
        reader.Execute();
    };
}
