#include "protocol/Frame.h"
#include "state/VltContext.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kTrailer(5, 0xFF);
const Bytes kExamplePacket = {0x95, 0x02, 0x01, 0x3B, 0x10, 0x02, 0x02, 0x00, 0x00, 0x06, 0x07, 0x6D};
const Bytes kExampleFrame = {0xC0, 0x95, 0x02, 0x01, 0x3B, 0x10, 0x02, 0x02, 0x00, 0x00,
                             0x06, 0x07, 0x6D, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

TEST(EncodeFrame, Cases) {
    const struct {
        const char *Name;
        Bytes Packet, Frame;
    } cases[] = {
        {"stuffing",
         {0x55, 0xC0, 0xDB, 0x01},
         {0xC0, 0x55, 0xDB, 0xDC, 0xDB, 0xDD, 0x01, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"example packet", kExamplePacket, kExampleFrame},
        {"one byte", {0x00}, Cat({{0xC0, 0x00, 0xC0}, kTrailer})},
        {"only delimiters", {0xC0, 0xC0}, Cat({{0xC0, 0xDB, 0xDC, 0xDB, 0xDC, 0xC0}, kTrailer})},
        {"escape codes alone are plain", {0xDC, 0xDD}, Cat({{0xC0, 0xDC, 0xDD, 0xC0}, kTrailer})},
    };
    for (const auto &c : cases) {
        Bytes dest(c.Frame.size(), 0x11); // exactly the room it needs
        EXPECT_EQ(EncodeFrame(c.Packet, dest), c.Frame.size()) << c.Name;
        EXPECT_EQ(dest, c.Frame) << c.Name;
    }

    // Too little room: nothing written.
    Bytes small(kExampleFrame.size() - 1, 0x11);
    EXPECT_EQ(EncodeFrame(kExamplePacket, small), 0);
    EXPECT_EQ(small, Bytes(small.size(), 0x11));
}

TEST(EncodeFrame, LargestPacketFitsWireBuffer) {
    Bytes packet(4746, 0xC0); // every byte escaped
    std::array<uint8_t, kWireSize> wire{};
    EXPECT_EQ(EncodeFrame(packet, wire), 9499);
}

TEST(PacketComplete, Cases) {
    const struct {
        const char *Name;
        Bytes Rx;
        uint16_t Count;
        bool Expected;
    } cases[] = {
        {"count 0", {0xC0, 0xC0}, 0, false},
        {"one delimiter", {0x01, 0xC0, 0x02}, 3, false},
        {"two delimiters", {0xC0, 0xC0}, 2, true},
        {"example with a leading byte", Cat({{0xFF}, kExampleFrame}), 20, true},
        {"second delimiter beyond the count", {0xC0, 0x01, 0xC0}, 2, false},
        {"count beyond the buffer", {0xC0, 0x01}, 500, false},
        {"no delimiter", {0xFF, 0xFF, 0xFF}, 3, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PacketComplete(c.Rx, c.Count), c.Expected) << c.Name;
}

TEST(DecodeFrame, Cases) {
    constexpr uint16_t kUntouched = 0xBEEF;
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const struct {
        const char *Name;
        Bytes Rx;
        uint8_t Result;
        uint16_t DecodedLen; // kUntouched: left as it was
        Bytes Decoded;       // the packet area's first bytes
        Bytes Rest;          // what stays in the receive buffer
    } cases[] = {
        {"worked example", Cat({{0xFF}, kExampleFrame}), 0, 12, kExamplePacket, kTrailer},
        {"empty buffer", {}, 0x20, kUntouched, {}, {}},
        {"no delimiter", {0xFF, 0xFF}, 0x20, kUntouched, {}, {0xFF, 0xFF}},
        {"one delimiter", {0xC0, 1, 2}, 0x20, kUntouched, {}, {0xC0, 1, 2}},
        {"doubled opening only", {0xC0, 0xC0}, 0x20, kUntouched, {}, {0xC0, 0xC0}},
        {"tripled delimiter closes an empty frame", {0xC0, 0xC0, 0xC0}, 0x2A, 0, {}, {}},
        {"only one extra delimiter skipped",
         Cat({{0xC0, 0xC0, 0xC0}, eight, {0xC0}}),
         0x2A,
         0,
         {},
         Cat({eight, {0xC0}})},
        {"doubled opening then a frame", Cat({{0xC0, 0xC0}, eight, {0xC0}}), 0, 8, eight, {}},
        {"7-byte frame", {0xC0, 1, 2, 3, 4, 5, 6, 7, 0xC0}, 0x2A, 7, {1, 2, 3, 4, 5, 6, 7}, {}},
        {"8-byte frame", Cat({{0xC0}, eight, {0xC0}}), 0, 8, eight, {}},
        {"escape before the closing delimiter dropped",
         Cat({{0xC0}, eight, {0xDB, 0xC0, 0x77}}),
         0,
         8,
         eight,
         {0x77}},
        {"unstuffing",
         {0xC0, 0xDB, 0xDC, 0xDB, 0xDD, 3, 4, 5, 6, 7, 8, 0xC0},
         0,
         8,
         {0xC0, 0xDB, 3, 4, 5, 6, 7, 8},
         {}},
        {"bad escape, nothing after", {0xC0, 1, 0xDB, 0x41}, 0x2A, 0, {}, {}},
        {"bad escape keeps what follows", {0xC0, 1, 0xDB, 0x41, 0x99, 0xC0}, 0x2A, 0, {}, {0x99, 0xC0}},
        {"bad escape before any closing", {0xC0, 0xDB, 0xDB, 0xC0}, 0x2A, 0, {}, {0xC0}},
        {"leading bytes consumed", Cat({kTrailer, {0xC0}, eight, {0xC0}, kTrailer}), 0, 8, eight, kTrailer},
        {"two frames: the first taken",
         Cat({{0xC0}, eight, {0xC0, 0xC0, 9, 0xC0}}),
         0,
         8,
         eight,
         {0xC0, 9, 0xC0}},
        {"escape pending at the end",
         Cat({{0xC0}, eight, {0xDB}}),
         0x20,
         kUntouched,
         {},
         Cat({{0xC0}, eight, {0xDB}})},
    };
    for (const auto &c : cases) {
        std::array<uint8_t, kRxBufferSize> rx{};
        std::copy(c.Rx.begin(), c.Rx.end(), rx.begin());
        std::array<uint8_t, kPacketSize> packet{};
        uint16_t count = static_cast<uint16_t>(c.Rx.size());
        uint16_t len = kUntouched;
        EXPECT_EQ(DecodeFrame(rx, packet, len, count), c.Result) << c.Name;
        EXPECT_EQ(len, c.DecodedLen) << c.Name;
        EXPECT_EQ(Bytes(packet.begin(), packet.begin() + c.Decoded.size()), c.Decoded) << c.Name;
        ASSERT_EQ(count, c.Rest.size()) << c.Name;
        EXPECT_EQ(Bytes(rx.begin(), rx.begin() + count), c.Rest) << c.Name;
    }
}

TEST(DecodeFrame, WorkedExampleThenReplyStatus) {
    Bytes rx = Cat({{0xFF}, kExampleFrame});
    ASSERT_TRUE(PacketComplete(rx, 20));
    std::array<uint8_t, kPacketSize> packet{};
    uint16_t count = 20, len = 0;
    ASSERT_EQ(DecodeFrame(rx, packet, len, count), 0);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(CheckReplyStatus(packet, len), 0x00);
}

// A frame longer than the packet area is consumed and refused, and nothing
// is written past the area.
TEST(DecodeFrame, NeverWritesPastThePacketArea) {
    const struct {
        const char *Name;
        size_t DataBytes;
        uint8_t Result;
    } cases[] = {
        {"exactly the area", kPacketSize, 0},
        {"one byte more", kPacketSize + 1, 0x2A},
        {"escaped bytes past the end", kPacketSize + 300, 0x2A},
        {"most of the receive buffer", kRxBufferSize - 3, 0x2A},
    };
    for (const auto &c : cases) {
        Bytes rx(c.DataBytes + 3);
        rx[0] = 0xC0;
        for (size_t i = 1; i <= c.DataBytes; ++i)
            rx[i] = static_cast<uint8_t>(i % 0xC0);
        rx[c.DataBytes + 1] = 0xC0;
        rx[c.DataBytes + 2] = 0x5A;
        if (c.DataBytes > kPacketSize + 1) {
            rx[kPacketSize + 1] = 0xDB; // an escape pair straddling the end
            rx[kPacketSize + 2] = 0xDC;
        }
        // The area sits between guard bytes that must stay as they were.
        Bytes area(kPacketSize + 64, 0xEE);
        std::span<uint8_t> packet(area.data() + 32, kPacketSize);
        uint16_t count = static_cast<uint16_t>(rx.size()), len = 0xBEEF;
        EXPECT_EQ(DecodeFrame(rx, packet, len, count), c.Result) << c.Name;
        EXPECT_EQ(len, c.Result == 0 ? kPacketSize : 0) << c.Name;
        EXPECT_EQ(count, 1) << c.Name;
        EXPECT_EQ(rx[0], 0x5A) << c.Name;
        EXPECT_EQ(Bytes(area.begin(), area.begin() + 32), Bytes(32, 0xEE)) << c.Name;
        EXPECT_EQ(Bytes(area.end() - 32, area.end()), Bytes(32, 0xEE)) << c.Name;
    }
}

TEST(DecodeFrame, CountBeyondTheBufferIsCut) {
    Bytes rx = {0xC0, 1, 2, 3};
    std::array<uint8_t, 16> packet{};
    uint16_t count = 4000, len = 0;
    EXPECT_EQ(DecodeFrame(rx, packet, len, count), 0x20);
}

TEST(FrameRoundTrip, EveryByteValue) {
    for (size_t payload : {size_t{256}, size_t{1000}, size_t{4736}}) {
        std::array<uint8_t, kPacketSize> cmd{};
        PutPacketHeader(cmd, 0x95, 0x1234, 0x30, 0xC0, static_cast<uint16_t>(payload));
        for (size_t i = 0; i < payload; ++i)
            cmd[kPktPayload + i] = static_cast<uint8_t>(255 - i);
        const uint16_t len = SealPacket(cmd);
        ASSERT_EQ(len, payload + 10);

        std::array<uint8_t, kWireSize> wire{};
        const uint16_t wireLen = EncodeFrame(std::span(cmd).first(len), wire);
        ASSERT_GT(wireLen, len + 7);
        // Two frames back to back, after some noise.
        std::array<uint8_t, kRxBufferSize> rx{};
        rx[0] = 0x00;
        std::copy_n(wire.begin(), wireLen, rx.begin() + 1);
        std::copy_n(wire.begin(), wireLen, rx.begin() + 1 + wireLen);
        uint16_t count = static_cast<uint16_t>(1 + 2 * wireLen), got = 0;
        for (int frame = 0; frame < 2; ++frame) {
            std::array<uint8_t, kPacketSize> reply{};
            ASSERT_EQ(DecodeFrame(rx, reply, got, count), 0) << payload;
            ASSERT_EQ(got, len);
            EXPECT_TRUE(std::equal(cmd.begin(), cmd.begin() + len, reply.begin())) << payload;
            EXPECT_EQ(CheckReplyStatus(reply, got), 0) << payload;
        }
        EXPECT_EQ(count, kFrameTrailerLength); // the last trailer stays
    }
}

TEST(CheckReplyStatus, Cases) {
    auto reply = [](Bytes payload) {
        Bytes p(kPktPayload + payload.size() + 2);
        PutPacketHeader(p, 0x95, 0, 0x30, 1, static_cast<uint16_t>(payload.size()));
        std::copy(payload.begin(), payload.end(), p.begin() + kPktPayload);
        SealPacket(p);
        return p;
    };
    const struct {
        const char *Name;
        Bytes Packet;
        uint8_t Expected;
    } cases[] = {
        {"example", kExamplePacket, 0x00},
        {"status 6", reply({0x06, 0x00}), 0x06},
        {"status 0x1E", reply({0x1E}), 0x1E},
        {"data reply ignores byte 8", reply({0x55, 0x01, 0x02}), 0x00},
        {"N = 0 reads offset 8", reply({}), reply({})[8]},
        {"wrong check word",
         [] {
             Bytes p = kExamplePacket;
             p[11] ^= 0x80;
             return p;
         }(),
         0x23},
        {"header bytes 3..5 not examined",
         [&] {
             Bytes p = reply({0x04});
             p[3] = 0;
             p[4] = 0x99;
             SealPacket(p);
             return p;
         }(),
         0x04},
        {"too short for a check word", {0x95, 0x00, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00}, 0x23},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CheckReplyStatus(c.Packet, static_cast<uint16_t>(c.Packet.size())), c.Expected) << c.Name;

    // A length past the buffer is refused, not read.
    EXPECT_EQ(CheckReplyStatus(kExamplePacket, 40), 0x23);
}

TEST(CheckReplyStatus, AnyFlippedBitIsCaught) {
    Bytes good(kPktPayload + 3 + 2);
    PutPacketHeader(good, 0x9B, 0x0004, 0x30, 2, 3);
    good[8] = 0x00;
    good[9] = 0x5A;
    good[10] = 0xA5;
    SealPacket(good);
    ASSERT_EQ(CheckReplyStatus(good, static_cast<uint16_t>(good.size())), 0);
    for (size_t i = 0; i < good.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = good;
            bad[i] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_EQ(CheckReplyStatus(bad, static_cast<uint16_t>(bad.size())), 0x23)
                << "byte " << i << " bit " << bit;
        }
}

TEST(SealPacket, StoresCheckWordAfterPayload) {
    Bytes p(12);
    PutPacketHeader(p, 0x95, 0x0102, 0x10, 0x02, 2);
    p[8] = 0x00;
    p[9] = 0x06;
    EXPECT_EQ(SealPacket(p), 12);
    EXPECT_EQ(p, kExamplePacket);
    Bytes tooSmall(11);
    PutPacketHeader(tooSmall, 0x95, 0, 0, 0, 2);
    EXPECT_EQ(SealPacket(tooSmall), 0);
}

} // namespace
