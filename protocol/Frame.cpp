#include "protocol/Frame.h"

#include <algorithm>
#include <cstring>

uint8_t HexPairToByte(char high, char low) {
    auto value = [](char ch) -> uint8_t {
        const auto c = static_cast<uint8_t>(ch);
        if (c >= 'A' && c <= 'Z')
            return static_cast<uint8_t>(c - 0x37);
        if (c >= 'a' && c <= 'z')
            return static_cast<uint8_t>(c - 0x57);
        return static_cast<uint8_t>(c - 0x30);
    };
    return static_cast<uint8_t>(16 * value(high) + value(low));
}

uint16_t EncodeFrame(std::span<const uint8_t> packet, std::span<uint8_t> dest) {
    size_t need = packet.size() + kFrameOverhead;
    for (uint8_t b : packet)
        if (b == kFrameDelimiter || b == kFrameEscape)
            ++need;
    if (need > dest.size() || need > 0xFFFF)
        return 0;
    size_t p = 0;
    dest[p++] = kFrameDelimiter;
    for (uint8_t b : packet) {
        if (b == kFrameDelimiter) {
            dest[p++] = kFrameEscape;
            dest[p++] = kEscapedDelimiter;
        } else if (b == kFrameEscape) {
            dest[p++] = kFrameEscape;
            dest[p++] = kEscapedEscape;
        } else {
            dest[p++] = b;
        }
    }
    dest[p++] = kFrameDelimiter;
    for (size_t i = 0; i < kFrameTrailerLength; ++i)
        dest[p++] = kFrameTrailerByte;
    return static_cast<uint16_t>(p);
}

namespace {

// The first delimiter at or after `from` among the first `c` bytes; c when none.
size_t NextDelimiter(std::span<const uint8_t> rx, size_t from, size_t c) {
    while (from < c && rx[from] != kFrameDelimiter)
        ++from;
    return from;
}

// Where the first frame's packet begins: after its opening delimiter, and
// after a second one sent straight after it; c when no frame opens.
size_t PacketStart(std::span<const uint8_t> rx, size_t c) {
    size_t i = NextDelimiter(rx, 0, c);
    if (i < c) {
        ++i;
        if (i < c && rx[i] == kFrameDelimiter)
            ++i;
    }
    return i;
}

} // namespace

bool PacketComplete(std::span<const uint8_t> rx, uint16_t count) {
    const size_t c = std::min<size_t>(count, rx.size());
    const size_t first = NextDelimiter(rx, 0, c);
    return first < c && NextDelimiter(rx, first + 1, c) < c;
}

uint16_t ClosingDelimiterAt(std::span<const uint8_t> rx, uint16_t count) {
    const size_t c = std::min<size_t>(count, rx.size());
    const size_t closing = NextDelimiter(rx, PacketStart(rx, c), c);
    return closing < c ? static_cast<uint16_t>(closing) : count;
}

uint8_t DecodeFrame(std::span<uint8_t> rx, std::span<uint8_t> packet, uint16_t &decodedLen,
                    uint16_t &rxCount) {
    const size_t c = std::min<size_t>(rxCount, rx.size());
    size_t i = PacketStart(rx, c);

    size_t n = 0;
    bool escape = false;
    bool overflow = false;
    uint8_t result = kFrameIncomplete;
    for (; i < c; ++i) {
        const uint8_t b = rx[i];
        if (b == kFrameDelimiter) {
            result = kFrameOk;
            break;
        }
        int store = -1;
        if (escape) {
            if (b == kEscapedDelimiter)
                store = kFrameDelimiter;
            else if (b == kEscapedEscape)
                store = kFrameEscape;
            else {
                result = kFrameBad;
                break;
            }
            escape = false;
        } else if (b == kFrameEscape) {
            escape = true;
        } else {
            store = b;
        }
        if (store >= 0) {
            // Past the packet area the frame is only scanned to its end.
            if (n < packet.size())
                packet[n] = static_cast<uint8_t>(store);
            else
                overflow = true;
            ++n;
        }
    }
    if (result == kFrameIncomplete)
        return kFrameIncomplete;

    // Consume bytes 0..i, keep what follows at the front.
    const size_t rest = c - (i + 1);
    if (rest > 0)
        std::memmove(rx.data(), rx.data() + i + 1, rest);
    rxCount = static_cast<uint16_t>(rest);

    if (result == kFrameBad || overflow) {
        decodedLen = 0;
        return kFrameBad;
    }
    decodedLen = static_cast<uint16_t>(n);
    return n < kPktHeaderSize ? kFrameBad : kFrameOk;
}

bool ReplyCheckWordGood(std::span<const uint8_t> packet, uint16_t len) {
    if (len < kPktOverhead || len > packet.size())
        return false;
    return FrameChecksum(packet, 0, static_cast<uint16_t>(len - 3)) == GetU16(packet, len - 2);
}

uint8_t CheckReplyStatus(std::span<const uint8_t> packet, uint16_t len) {
    if (!ReplyCheckWordGood(packet, len))
        return kStatusChecksumError;
    if (GetU16(packet, kPktLength) > 2)
        return 0;
    return packet[kPktPayload];
}

void PutPacketHeader(std::span<uint8_t> packet, uint8_t command, uint16_t argument, uint8_t family,
                     uint8_t subType, uint16_t payloadLen) {
    packet[kPktCommand] = command;
    PutU16(packet, kPktArgument, argument);
    packet[kPktMarker] = kPacketMarker;
    packet[kPktFamily] = family;
    packet[kPktSubType] = subType;
    PutU16(packet, kPktLength, payloadLen);
}

uint16_t SealPacket(std::span<uint8_t> packet) {
    if (packet.size() < kPktOverhead)
        return 0;
    const size_t n = GetU16(packet, kPktLength);
    const size_t len = n + kPktOverhead;
    if (len > packet.size() || len > 0xFFFF)
        return 0;
    PutU16(packet, kPktPayload + n, FrameChecksum(packet, 0, static_cast<uint16_t>(kPktPayload + n - 1)));
    return static_cast<uint16_t>(len);
}
