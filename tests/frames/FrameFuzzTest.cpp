#include "protocol/Frame.h"
#include "state/VltContext.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Bytes near the codec's special values come up more often than chance.
uint8_t InterestingByte(std::mt19937 &rng) {
    static constexpr uint8_t kSpecial[] = {0xC0, 0xDB, 0xDC, 0xDD, 0xFF, 0x00};
    if (rng() % 3 == 0)
        return kSpecial[rng() % std::size(kSpecial)];
    return static_cast<uint8_t>(rng());
}

Bytes RandomBuffer(std::mt19937 &rng) {
    const size_t size = rng() % 4 == 0 ? rng() % kRxBufferSize : rng() % 64;
    Bytes b(size);
    for (auto &x : b)
        x = InterestingByte(rng);
    return b;
}

Bytes MutatedFrame(std::mt19937 &rng) {
    Bytes packet(kPktOverhead + rng() % 600);
    PutPacketHeader(packet, static_cast<uint8_t>(rng()), static_cast<uint16_t>(rng()), 0x30, 1,
                    static_cast<uint16_t>(packet.size() - kPktOverhead));
    for (size_t i = kPktPayload; i + 2 < packet.size(); ++i)
        packet[i] = InterestingByte(rng);
    SealPacket(packet);
    Bytes wire(packet.size() * 2 + kFrameOverhead);
    wire.resize(EncodeFrame(packet, wire));
    Bytes rx;
    const int frames = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < frames; ++f)
        rx.insert(rx.end(), wire.begin(), wire.end());
    const int edits = static_cast<int>(rng() % 6);
    for (int e = 0; e < edits && !rx.empty(); ++e) {
        const size_t at = rng() % rx.size();
        switch (rng() % 4) {
        case 0:
            rx[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        case 1:
            rx.insert(rx.begin() + static_cast<long>(at), InterestingByte(rng));
            break;
        case 2:
            rx.erase(rx.begin() + static_cast<long>(at));
            break;
        default:
            rx.resize(at); // cut short
            break;
        }
    }
    return rx;
}

// Decodes everything in the buffer as a receive path would and checks the
// codec's promises at every step. The buffers are sized exactly so that the
// sanitizers see any read or write past them.
void DrainAndCheck(Bytes rx, size_t packetSize) {
    Bytes packet(packetSize);
    uint16_t count = static_cast<uint16_t>(rx.size());
    for (;;) {
        const Bytes before(rx.begin(), rx.begin() + count);
        const bool complete = PacketComplete(rx, count);
        uint16_t len = 0xBEEF;
        const uint16_t oldCount = count;
        const uint8_t r = DecodeFrame(rx, packet, len, count);
        ASSERT_TRUE(r == kFrameOk || r == kFrameIncomplete || r == kFrameBad) << int(r);
        if (r == kFrameIncomplete) {
            EXPECT_EQ(count, oldCount);
            EXPECT_EQ(len, 0xBEEF);
            EXPECT_TRUE(std::equal(before.begin(), before.end(), rx.begin()));
            return;
        }
        ASSERT_LT(count, oldCount); // something was consumed, so the loop ends
        const size_t used = oldCount - count;
        EXPECT_TRUE(std::equal(before.begin() + static_cast<long>(used), before.end(), rx.begin()));
        if (r == kFrameOk) {
            EXPECT_TRUE(complete);
            EXPECT_GE(len, kPktHeaderSize);
            EXPECT_LE(len, packetSize);
            const uint8_t status = CheckReplyStatus(packet, len);
            (void)status; // any value; it must only stay inside the packet
        } else {
            EXPECT_LE(len, kPktHeaderSize - 1);
        }
    }
}

TEST(FrameFuzz, RandomBuffers) {
    std::mt19937 rng(20240611);
    for (int i = 0; i < 3000; ++i) {
        SCOPED_TRACE(i);
        DrainAndCheck(RandomBuffer(rng), rng() % 2 ? kPacketSize : 1 + rng() % 40);
        if (HasFatalFailure())
            return;
    }
}

TEST(FrameFuzz, MutatedFrames) {
    std::mt19937 rng(7);
    int intact = 0;
    for (int i = 0; i < 3000; ++i) {
        SCOPED_TRACE(i);
        Bytes rx = MutatedFrame(rng);
        DrainAndCheck(rx, rng() % 4 ? kPacketSize : 1 + rng() % 300);
        if (HasFatalFailure())
            return;
        // An unmutated run of frames decodes completely with good check words.
        Bytes packet(kPacketSize);
        uint16_t count = static_cast<uint16_t>(rx.size()), len = 0;
        if (DecodeFrame(rx, packet, len, count) == kFrameOk &&
            CheckReplyStatus(packet, len) != kStatusChecksumError)
            ++intact;
    }
    EXPECT_GT(intact, 0); // the generator does produce valid frames too
}

} // namespace
