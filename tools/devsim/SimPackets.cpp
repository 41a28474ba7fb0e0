#include "tools/devsim/SimPackets.h"

#include <algorithm>
#include <cstring>

#include "protocol/Frame.h"

bool SimIsProbe(std::span<const uint8_t> packet) {
    return packet.size() == 3 && std::equal(packet.begin(), packet.end(), kSimProbeBytes);
}

void SimSeal(std::vector<uint8_t> &packet) {
    size_t len = packet.size();
    uint16_t word = FrameChecksum(packet, 0, static_cast<uint16_t>(len - 3));
    PutU16(packet, len - 2, word);
}

std::vector<uint8_t> SimReply(std::span<const uint8_t> request, std::span<const uint8_t> payload) {
    std::vector<uint8_t> p(kPktOverhead + payload.size(), 0);
    std::copy_n(request.begin(), std::min<size_t>(request.size(), kPktLength), p.begin());
    PutU16(p, kPktLength, static_cast<uint16_t>(payload.size()));
    std::copy(payload.begin(), payload.end(), p.begin() + kPktPayload);
    SimSeal(p);
    return p;
}

std::vector<uint8_t> SimStatusReply(std::span<const uint8_t> request, uint8_t status) {
    const uint8_t payload[2] = {status, 0};
    return SimReply(request, payload);
}

std::vector<uint8_t> SimProbeReply(const std::string &name) {
    size_t len = std::clamp<size_t>(name.size(), 1, 256);
    std::vector<uint8_t> p(kSimProbeNameOffset + len + 2, 0);
    std::copy_n(kSimProbeBytes, 3, p.begin());
    p[3] = static_cast<uint8_t>(len - 1);
    std::memcpy(p.data() + kSimProbeNameOffset, name.data(), std::min(len, name.size()));
    SimSeal(p);
    return p;
}

std::vector<uint8_t> SimProgressReport(uint8_t stage, uint8_t result, uint16_t current, uint16_t maximum) {
    std::vector<uint8_t> p(10, 0);
    p[0] = kSimReportLead;
    p[1] = stage;
    p[2] = result;
    PutU16(p, 3, current);
    PutU16(p, 5, maximum);
    uint8_t sum = 0;
    for (size_t i = 0; i < 7; ++i)
        sum = static_cast<uint8_t>(sum + p[i]);
    p[7] = static_cast<uint8_t>(-sum);
    SimSeal(p);
    return p;
}

std::vector<uint8_t> SimFrame(std::span<const uint8_t> packet) {
    std::vector<uint8_t> wire(2 * packet.size() + kFrameOverhead);
    uint16_t n = EncodeFrame(packet, wire);
    wire.resize(n);
    return wire;
}

std::vector<uint8_t> SimStandAloneRunFrames(uint8_t result, uint16_t steps) {
    std::vector<uint8_t> wire;
    auto add = [&wire](uint8_t stage, uint8_t res, uint16_t current, uint16_t maximum) {
        const auto frame = SimFrame(SimProgressReport(stage, res, current, maximum));
        wire.insert(wire.end(), frame.begin(), frame.end());
    };
    add(0x10, 0, 0, 0);
    add(0x20, 0, 0, 0);
    add(0x30, 0, 0, 0);
    for (uint16_t i = 0; i < steps; ++i)
        add(0x40, 0, i, steps);
    add(0x70, 0, 0, 0);
    add(0xF0, result, 0, 0);
    return wire;
}
