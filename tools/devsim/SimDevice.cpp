#include "tools/devsim/SimDevice.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <system_error>
#include <termios.h>
#include <unistd.h>

#include "protocol/Frame.h"
#include "tools/devsim/SimPackets.h"
#include "tools/devsim/SimProtocol.h"

namespace {

constexpr size_t kRxSize = 16384;
constexpr size_t kPacketArea = 10240;
constexpr size_t kPacketHistory = 4096;
constexpr size_t kReadChunk = 4096;
// Re-check interval while the program side has the port closed.
constexpr int kClosedPollMs = 10;
// A reply that cannot be written within this time is dropped.
constexpr int kWriteStallMs = 3000;

// Bytes for the master side, written in chunks with a pause between.
struct TOutput {
    std::vector<uint8_t> Bytes;
    size_t Chunk = 0;
    std::chrono::milliseconds Pause{0};
};

[[noreturn]] void Fail(const char *what) {
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

bool TSimPacket::IsProbe() const {
    return SimIsProbe(Bytes);
}

struct TSimDevice::TState {
    explicit TState(const TSimOptions &opt) : Proto(opt) {}
    TSimProtocol Proto;
    std::deque<TSimPacket> Packets;
    size_t PacketsTotal = 0;
    TSimCounters Counters;
    uint64_t Generation = 0;

    // Armed faults.
    std::optional<uint8_t> Status;
    bool BadCheck = false;
    size_t Silence = 0;
    size_t SplitChunk = 0;
    std::chrono::milliseconds SplitPause{0};
    std::vector<uint8_t> Garbage;
    std::optional<std::vector<uint8_t>> Second;
    std::optional<size_t> Truncate;
    bool Hold = false;
    std::optional<TOutput> Held; // a held reply, sent on release
    bool ReleaseRequested = false;
    bool Writing = false; // the thread writes bytes it took under the lock

    // Requests to the device thread.
    std::deque<std::vector<uint8_t>> Outbox;
    bool HangRequested = false;
    bool HungUp = false;
    bool Stop = false;
};

TSimDevice::TSimDevice(TSimOptions opt) : Opt(std::move(opt)) {
    S = std::make_unique<TState>(Opt);
    Master = posix_openpt(O_RDWR | O_NOCTTY);
    if (Master < 0)
        Fail("posix_openpt");
    if (grantpt(Master) != 0 || unlockpt(Master) != 0)
        Fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(Master, name, sizeof name) != 0)
        Fail("ptsname");
    SlavePath = name;
    // Raw on the device side: termios requests on the master reach the
    // terminal the program opens, and they persist across its opens.
    termios t{};
    if (tcgetattr(Master, &t) != 0)
        Fail("tcgetattr");
    cfmakeraw(&t);
    if (tcsetattr(Master, TCSANOW, &t) != 0)
        Fail("tcsetattr");
    int fl = fcntl(Master, F_GETFL);
    fcntl(Master, F_SETFL, fl | O_NONBLOCK);
    int p[2];
    if (pipe2(p, O_NONBLOCK | O_CLOEXEC) != 0)
        Fail("pipe2");
    WakeRead = p[0];
    WakeWrite = p[1];
    Thread = std::thread([this] { Run(); });
}

TSimDevice::~TSimDevice() {
    {
        std::lock_guard lk(Mutex);
        S->Stop = true;
    }
    Wake();
    Thread.join();
    if (Master >= 0)
        close(Master);
    close(WakeRead);
    close(WakeWrite);
}

std::string TSimDevice::DeviceName() const {
    std::lock_guard lk(Mutex);
    return S->Proto.Name;
}

void TSimDevice::Wake() {
    uint8_t b = 1;
    [[maybe_unused]] ssize_t n = write(WakeWrite, &b, 1);
}

void TSimDevice::NotifyChange() {
    ++S->Generation;
    Changed.notify_all();
}

// --- The device thread ---

namespace {

// Writes all bytes to the non-blocking master; false when it stalls or fails.
bool WriteAll(int fd, const uint8_t *data, size_t len) {
    while (len > 0) {
        ssize_t n = write(fd, data, len);
        if (n > 0) {
            data += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            return false;
        pollfd pf{fd, POLLOUT, 0};
        if (poll(&pf, 1, kWriteStallMs) <= 0 || (pf.revents & (POLLERR | POLLHUP)))
            return false;
    }
    return true;
}

} // namespace

void TSimDevice::Run() {
    std::vector<uint8_t> rx(kRxSize);
    uint16_t rxCount = 0;
    std::vector<uint8_t> pkt(kPacketArea);
    bool hostClosed = false;

    auto emit = [&](const TOutput &out) -> bool {
        if (hostClosed || Master < 0)
            return false;
        size_t step = out.Chunk ? out.Chunk : out.Bytes.size();
        for (size_t at = 0; at < out.Bytes.size(); at += step) {
            if (at > 0)
                std::this_thread::sleep_for(out.Pause);
            const size_t len = std::min(step, out.Bytes.size() - at);
            if (!WriteAll(Master, out.Bytes.data() + at, len))
                return false;
            std::lock_guard lk(Mutex);
            S->Counters.BytesOut += len;
        }
        return true;
    };
    auto doneWriting = [&] {
        S->Writing = false;
        NotifyChange();
    };

    for (;;) {
        std::deque<std::vector<uint8_t>> outbox;
        std::optional<TOutput> held;
        bool writing = false;
        {
            std::lock_guard lk(Mutex);
            if (S->Stop)
                return;
            if (S->HangRequested && !S->HungUp) {
                close(Master);
                Master = -1;
                S->HungUp = true;
                NotifyChange();
            }
            outbox.swap(S->Outbox);
            if (S->ReleaseRequested && S->Held) {
                held = std::move(*S->Held);
                S->Held.reset();
            }
            S->ReleaseRequested = false;
            S->Writing = writing = held || !outbox.empty();
        }
        if (held) {
            bool ok = emit(*held);
            held.reset();
            std::lock_guard lk(Mutex);
            ++(ok ? S->Counters.Replies : S->Counters.RepliesDropped);
            NotifyChange();
        }
        for (auto &bytes : outbox) {
            bool ok = emit(TOutput{std::move(bytes)});
            std::lock_guard lk(Mutex);
            if (ok)
                ++S->Counters.Reports;
            NotifyChange();
        }
        if (writing) {
            std::lock_guard lk(Mutex);
            doneWriting();
        }

        pollfd pf[2] = {{WakeRead, POLLIN, 0}, {Master, POLLIN, 0}};
        bool watchMaster = Master >= 0 && !hostClosed;
        int r = poll(pf, watchMaster ? 2 : 1, hostClosed ? kClosedPollMs : -1);
        if (r < 0 && errno != EINTR)
            return;
        if (pf[0].revents & POLLIN) {
            uint8_t drain[64];
            while (read(WakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (Master < 0)
            continue;
        if (hostClosed) {
            pollfd q{Master, POLLIN, 0};
            if (poll(&q, 1, 0) >= 0 && !(q.revents & POLLHUP))
                hostClosed = false; // opened again
            continue;
        }
        if (!(pf[1].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;

        uint8_t buf[kReadChunk];
        ssize_t n = read(Master, buf, sizeof buf);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            // The program closed its side: what was in flight is lost, as
            // with a real port. The device never opens the program's side,
            // or the port would look in use by another program: a flush of
            // the master drops what is still on its way to the terminal, a
            // settings request with flush (which the master passes to the
            // terminal) what the terminal already queued for reading.
            hostClosed = true;
            tcflush(Master, TCOFLUSH);
            termios t{};
            if (tcgetattr(Master, &t) == 0)
                tcsetattr(Master, TCSAFLUSH, &t);
            rxCount = 0;
            std::lock_guard lk(Mutex);
            ++S->Counters.HostCloses;
            NotifyChange();
            continue;
        }
        {
            std::lock_guard lk(Mutex);
            S->Counters.BytesIn += static_cast<uint64_t>(n);
        }
        // Bounded receive buffer: an overflowing chunk starts it afresh.
        if (rxCount + static_cast<size_t>(n) > rx.size())
            rxCount = 0;
        std::copy(buf, buf + n, rx.begin() + rxCount);
        rxCount = static_cast<uint16_t>(rxCount + n);

        while (PacketComplete(rx, rxCount)) {
            uint16_t len = 0;
            uint8_t res = DecodeFrame(rx, pkt, len, rxCount);
            if (res == kFrameIncomplete)
                break;
            std::span<const uint8_t> packet(pkt.data(), len);
            TOutput out;
            {
                std::lock_guard lk(Mutex);
                ++S->Counters.Frames;
                bool probe = SimIsProbe(packet);
                if (res != kFrameOk && !probe) {
                    ++S->Counters.BadFrames;
                    NotifyChange();
                    continue;
                }
                S->Packets.push_back(TSimPacket{std::vector<uint8_t>(packet.begin(), packet.end())});
                if (S->Packets.size() > kPacketHistory)
                    S->Packets.pop_front();
                ++S->PacketsTotal;
                if (probe)
                    ++S->Counters.Probes;
                std::vector<uint8_t> reply = S->Proto.Handle(packet);
                if (!reply.empty() && reply.size() > kPktOverhead && reply[kPktPayload] == kSimPacketError &&
                    GetU16(reply, kPktLength) == 2)
                    ++S->Counters.BadCheckWords;
                if (!reply.empty() && S->Status && !probe) {
                    reply = SimStatusReply(packet, *S->Status);
                    S->Status.reset();
                }
                if (reply.empty()) {
                    NotifyChange();
                    continue;
                }
                if (S->Silence > 0) {
                    if (S->Silence != SIZE_MAX)
                        --S->Silence;
                    ++S->Counters.RepliesDropped;
                    NotifyChange();
                    continue;
                }
                if (S->BadCheck) {
                    reply[reply.size() - 2] ^= 0xFF;
                    S->BadCheck = false;
                }
                out.Bytes = std::move(S->Garbage);
                S->Garbage.clear();
                auto frame = SimFrame(reply);
                out.Bytes.insert(out.Bytes.end(), frame.begin(), frame.end());
                if (S->Second) {
                    std::vector<uint8_t> second = S->Second->empty() ? reply : *S->Second;
                    if (!S->Second->empty()) {
                        second.resize(second.size() + 2);
                        SimSeal(second);
                    }
                    auto f2 = SimFrame(second);
                    out.Bytes.insert(out.Bytes.end(), f2.begin(), f2.end());
                    S->Second.reset();
                }
                if (S->Truncate) {
                    out.Bytes.resize(std::min(out.Bytes.size(), *S->Truncate));
                    S->Truncate.reset();
                }
                out.Chunk = S->SplitChunk;
                out.Pause = S->SplitPause;
                S->SplitChunk = 0;
                if (S->Hold) {
                    S->Hold = false;
                    S->Held = std::move(out);
                    NotifyChange();
                    continue;
                }
                S->Writing = true;
            }
            bool ok = emit(out);
            std::lock_guard lk(Mutex);
            ++(ok ? S->Counters.Replies : S->Counters.RepliesDropped);
            doneWriting();
        }
    }
}

// --- Faults ---

void TSimDevice::InjectStatus(uint8_t status) {
    std::lock_guard lk(Mutex);
    S->Status = status;
}

void TSimDevice::InjectBadCheckWord() {
    std::lock_guard lk(Mutex);
    S->BadCheck = true;
}

void TSimDevice::InjectSilence(size_t replies) {
    std::lock_guard lk(Mutex);
    S->Silence = replies;
}

void TSimDevice::InjectSplit(size_t chunk, std::chrono::milliseconds pause) {
    std::lock_guard lk(Mutex);
    S->SplitChunk = chunk;
    S->SplitPause = pause;
}

void TSimDevice::InjectTruncate(size_t keep) {
    std::lock_guard lk(Mutex);
    S->Truncate = keep;
}

void TSimDevice::InjectGarbage(std::vector<uint8_t> bytes) {
    std::lock_guard lk(Mutex);
    S->Garbage = std::move(bytes);
}

void TSimDevice::InjectSecondFrame(std::vector<uint8_t> packet) {
    std::lock_guard lk(Mutex);
    S->Second = std::move(packet);
}

void TSimDevice::InjectHold() {
    std::lock_guard lk(Mutex);
    S->Hold = true;
}

void TSimDevice::ReleaseHeld() {
    {
        std::lock_guard lk(Mutex);
        S->ReleaseRequested = true;
    }
    Wake();
}

bool TSimDevice::Sending() const {
    std::lock_guard lk(Mutex);
    return S->Writing || !S->Outbox.empty() || (S->ReleaseRequested && S->Held);
}

bool TSimDevice::HoldsReply() const {
    std::lock_guard lk(Mutex);
    return S->Held.has_value();
}

void TSimDevice::InjectVerifyWords(uint16_t w8, uint16_t w10, uint16_t w24, uint16_t w26) {
    std::lock_guard lk(Mutex);
    S->Proto.InjectedVerifyWords = std::array<uint16_t, 4>{w8, w10, w24, w26};
}

void TSimDevice::ClearFaults() {
    std::lock_guard lk(Mutex);
    S->Status.reset();
    S->BadCheck = false;
    S->Silence = 0;
    S->SplitChunk = 0;
    S->Garbage.clear();
    S->Second.reset();
    S->Truncate.reset();
    S->Hold = false;
    S->Proto.InjectedVerifyWords.reset();
}

void TSimDevice::HangUp() {
    {
        std::lock_guard lk(Mutex);
        S->HangRequested = true;
    }
    Wake();
    WaitFor([](const TSimDevice &d) { return d.HungUp(); });
}

// --- Reports and raw output ---

void TSimDevice::SendRaw(std::vector<uint8_t> bytes) {
    {
        std::lock_guard lk(Mutex);
        S->Outbox.push_back(std::move(bytes));
    }
    Wake();
}

void TSimDevice::SendProgressReport(uint8_t stage, uint8_t result, uint16_t current, uint16_t maximum) {
    SendRaw(SimFrame(SimProgressReport(stage, result, current, maximum)));
}

void TSimDevice::SendStandAloneRun(uint8_t result, uint16_t steps) {
    SendStandAloneRuns(std::span<const uint8_t>(&result, 1), steps);
}

void TSimDevice::SendStandAloneRuns(std::span<const uint8_t> results, uint16_t steps) {
    std::vector<uint8_t> wire;
    for (uint8_t result : results) {
        const auto run = SimStandAloneRunFrames(result, steps);
        wire.insert(wire.end(), run.begin(), run.end());
    }
    SendRaw(std::move(wire));
}

// --- Chip contents ---

std::vector<uint8_t> TSimDevice::ChipImage() const {
    std::lock_guard lk(Mutex);
    return S->Proto.Chip.Image;
}

void TSimDevice::SetChipImage(size_t offset, const std::vector<uint8_t> &bytes) {
    std::lock_guard lk(Mutex);
    for (size_t i = 0; i < bytes.size(); ++i)
        S->Proto.Chip.Image[(offset + i) % kSimImageSize] = bytes[i];
}

uint8_t TSimDevice::Register(uint16_t key) const {
    std::lock_guard lk(Mutex);
    return S->Proto.Chip.Registers[key];
}

void TSimDevice::SetRegister(uint16_t key, uint8_t value) {
    std::lock_guard lk(Mutex);
    S->Proto.Chip.Registers[key] = value;
}

std::vector<uint8_t> TSimDevice::RegisterSpace() const {
    std::lock_guard lk(Mutex);
    return S->Proto.Chip.Registers;
}

std::vector<uint8_t> TSimDevice::DownloadedBlock(uint16_t kbOffset) const {
    std::lock_guard lk(Mutex);
    auto it = S->Proto.Downloads.find(kbOffset);
    return it == S->Proto.Downloads.end() ? std::vector<uint8_t>{} : it->second;
}

std::vector<uint16_t> TSimDevice::DownloadedBlocks() const {
    std::lock_guard lk(Mutex);
    std::vector<uint16_t> kbs;
    for (const auto &[kb, block] : S->Proto.Downloads)
        kbs.push_back(kb);
    return kbs;
}

// --- Inspection ---

std::vector<TSimPacket> TSimDevice::ReceivedPackets() const {
    std::lock_guard lk(Mutex);
    return {S->Packets.begin(), S->Packets.end()};
}

size_t TSimDevice::PacketCount() const {
    std::lock_guard lk(Mutex);
    return S->PacketsTotal;
}

std::vector<uint8_t> TSimDevice::Commands() const {
    std::lock_guard lk(Mutex);
    std::vector<uint8_t> cmds;
    for (const auto &p : S->Packets)
        cmds.push_back(p.Command());
    return cmds;
}

TSimSetup TSimDevice::LastSetup() const {
    std::lock_guard lk(Mutex);
    return S->Proto.Setup;
}

std::vector<uint8_t> TSimDevice::FirmwareBlock(size_t block) const {
    std::lock_guard lk(Mutex);
    return block < kSimFwBlocks ? S->Proto.FwBlocks[block] : std::vector<uint8_t>{};
}

TSimCounters TSimDevice::Counters() const {
    std::lock_guard lk(Mutex);
    return S->Counters;
}

bool TSimDevice::HungUp() const {
    std::lock_guard lk(Mutex);
    return S->HungUp;
}

bool TSimDevice::WaitFor(const std::function<bool(const TSimDevice &)> &pred,
                         std::chrono::milliseconds limit) const {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        uint64_t gen;
        {
            std::lock_guard lk(Mutex);
            gen = S->Generation;
        }
        if (pred(*this))
            return true;
        std::unique_lock lk(Mutex);
        if (!Changed.wait_until(lk, deadline, [&] { return S->Generation != gen; })) {
            lk.unlock();
            return pred(*this);
        }
    }
}

bool TSimDevice::WaitForPackets(size_t n, std::chrono::milliseconds limit) const {
    return WaitFor([n](const TSimDevice &d) { return d.PacketCount() >= n; }, limit);
}
