#pragma once
// Puts a programmer's reply into a channel's receive buffer as a frame.
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/Frame.h"
#include "state/VltContext.h"

// A reply packet: header with the given command and payload, then its check word.
inline std::vector<uint8_t> ReplyPacket(uint8_t command, const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> p(kPktOverhead + payload.size());
    PutPacketHeader(p, command, 0, 0x30, 0, static_cast<uint16_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), p.begin() + kPktPayload);
    SealPacket(p);
    return p;
}

// A status-only reply (N = 1).
inline std::vector<uint8_t> StatusReply(uint8_t status) {
    return ReplyPacket(0xEE, {status});
}

// A data reply: 4096 bytes from `data`.
inline std::vector<uint8_t> DataReply(std::span<const uint8_t> data) {
    return ReplyPacket(0xEE, std::vector<uint8_t>(data.begin(), data.end()));
}

// An idle programmer's progress report: its first eight bytes add up to 0.
inline std::vector<uint8_t> Report(uint8_t stage, uint8_t result = 0) {
    std::vector<uint8_t> p = {0x88, stage, result, 0, 0, 0, 0, 0, 0, 0};
    uint8_t sum = 0;
    for (size_t i = 0; i < 7; ++i)
        sum = static_cast<uint8_t>(sum + p[i]);
    p[7] = static_cast<uint8_t>(-sum);
    return p;
}

inline std::vector<uint8_t> Framed(const std::vector<uint8_t> &packet) {
    std::vector<uint8_t> wire(packet.size() * 2 + kFrameOverhead);
    wire.resize(EncodeFrame(packet, wire));
    return wire;
}

// Stores the framed packet as the channel's only buffered bytes; returns the count.
inline uint16_t FeedReply(VltContext &ctx, int n, const std::vector<uint8_t> &packet) {
    const auto wire = Framed(packet);
    auto &rx = ctx.ChannelRxBuffer[static_cast<size_t>(n - 1)];
    std::copy(wire.begin(), wire.end(), rx.begin());
    ctx.ChannelRxCount[static_cast<size_t>(n - 1)] = static_cast<uint16_t>(wire.size());
    return static_cast<uint16_t>(wire.size());
}
