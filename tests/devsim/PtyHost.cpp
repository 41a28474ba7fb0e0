#include "tests/devsim/PtyHost.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include "protocol/Frame.h"

TPtyHost::TPtyHost(const std::string &path) {
    FdNo = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (FdNo < 0)
        throw std::runtime_error("cannot open " + path);
    termios t{};
    tcgetattr(FdNo, &t);
    cfmakeraw(&t);
    tcsetattr(FdNo, TCSANOW, &t);
}

TPtyHost::~TPtyHost() {
    if (FdNo >= 0)
        close(FdNo);
}

void TPtyHost::Write(std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(FdNo, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pf{FdNo, POLLOUT, 0};
            if (poll(&pf, 1, 5000) <= 0)
                throw std::runtime_error("pty write stalled");
        } else {
            throw std::runtime_error("pty write failed");
        }
    }
}

void TPtyHost::SendPacket(std::span<const uint8_t> packet) {
    std::vector<uint8_t> wire(2 * packet.size() + kFrameOverhead);
    wire.resize(EncodeFrame(packet, wire));
    Write(wire);
}

void TPtyHost::SendProbe() {
    const uint8_t probe[] = {0xC0, 0xA3, 0xA5, 0x35, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    Write(probe);
}

bool TPtyHost::Fill(std::chrono::steady_clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd pf{FdNo, POLLIN, 0};
    if (poll(&pf, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0 || !(pf.revents & POLLIN))
        return false;
    uint8_t buf[4096];
    ssize_t n = read(FdNo, buf, sizeof buf);
    if (n <= 0)
        return false;
    Rx.insert(Rx.end(), buf, buf + n);
    return true;
}

std::optional<std::vector<uint8_t>> TPtyHost::ReadPacket(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<uint8_t> packet(10240);
    for (;;) {
        while (Rx.size() <= 0xFFFF && PacketComplete(Rx, static_cast<uint16_t>(Rx.size()))) {
            uint16_t count = static_cast<uint16_t>(Rx.size()), len = 0;
            uint8_t r = DecodeFrame(Rx, packet, len, count);
            if (r == kFrameIncomplete)
                break;
            Rx.resize(count);
            if (r == kFrameOk)
                return std::vector<uint8_t>(packet.begin(), packet.begin() + len);
        }
        if (!Fill(deadline))
            return std::nullopt;
    }
}

std::vector<uint8_t> TPtyHost::ReadRaw(size_t n, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (Rx.size() < n && Fill(deadline)) {
    }
    std::vector<uint8_t> out;
    out.swap(Rx);
    return out;
}

short TPtyHost::WaitEvents(std::chrono::milliseconds limit) {
    pollfd pf{FdNo, POLLIN, 0};
    poll(&pf, 1, static_cast<int>(limit.count()));
    return pf.revents;
}

std::vector<uint8_t> MakePacket(uint8_t command, uint16_t argument, uint8_t family, uint8_t subType,
                                std::span<const uint8_t> payload) {
    std::vector<uint8_t> p(kPktOverhead + payload.size());
    PutPacketHeader(p, command, argument, family, subType, static_cast<uint16_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), p.begin() + kPktPayload);
    SealPacket(p);
    return p;
}

std::optional<uint8_t> ReplyStatus(std::span<const uint8_t> reply) {
    if (reply.size() != 12 || GetU16(reply, kPktLength) != 2)
        return std::nullopt;
    return reply[kPktPayload];
}
