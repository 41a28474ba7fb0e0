#pragma once
// Frames a programmer sends to the upgrade tool, built with the frame codec.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/Frame.h"

namespace ugtest {

inline std::vector<uint8_t> Frame(const std::vector<uint8_t> &packet) {
    std::vector<uint8_t> f(packet.size() * 2 + kFrameOverhead);
    f.resize(EncodeFrame(packet, f));
    return f;
}

// A reply to `cmd` with argument `arg` (the programmer answers with the
// request's header), its payload and a correct check word.
inline std::vector<uint8_t> Reply(uint8_t cmd, uint16_t arg, const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> p(kPktOverhead + payload.size());
    PutPacketHeader(p, cmd, arg, 0, 0, static_cast<uint16_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), p.begin() + kPktPayload);
    SealPacket(p);
    return Frame(p);
}

inline std::vector<uint8_t> StatusReply(uint8_t cmd, uint16_t arg, uint8_t status) {
    return Reply(cmd, arg, {status});
}

// The answer to data block `block` (0..11) of the upgrade.
inline std::vector<uint8_t> BlockReply(unsigned block, uint8_t status) {
    return StatusReply(0xB7, static_cast<uint16_t>(0x2000 + 0x400 * block), status);
}

// A status-only answer to the verify command.
inline std::vector<uint8_t> VerifyStatusReply(uint8_t status) {
    return StatusReply(0xBA, 0x4FFF, status);
}

// A verify reply: the words at packet bytes 8, 10, 24 and 26.
inline std::vector<uint8_t> VerifyReply(uint16_t w8, uint16_t w10, uint16_t w24, uint16_t w26) {
    std::vector<uint8_t> payload(20, 0);
    auto put = [&](size_t at, uint16_t v) {
        payload[at - kPktPayload] = static_cast<uint8_t>(v);
        payload[at - kPktPayload + 1] = static_cast<uint8_t>(v >> 8);
    };
    put(8, w8);
    put(10, w10);
    put(24, w24);
    put(26, w26);
    return Reply(0xBA, 0x4FFF, payload);
}

// The probe reply naming `name` (A3 A5 35, N, 22 bytes, the name from offset 26).
inline std::vector<uint8_t> ProbeReply(const std::string &name) {
    std::vector<uint8_t> p = {0xA3, 0xA5, 0x35, static_cast<uint8_t>(name.size() - 1)};
    p.resize(26, 0x11);
    p.insert(p.end(), name.begin(), name.end());
    p.push_back(0);
    p.push_back(0);
    return Frame(p);
}

} // namespace ugtest
