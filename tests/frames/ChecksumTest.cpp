#include "protocol/Frame.h"
#include "protocol/ParamCrc16.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

struct RangeCase {
    const char *Name;
    std::vector<uint8_t> Buf;
    uint16_t First, Last, Start;
    uint16_t Expected;
};

const std::vector<uint8_t> kExamplePacket = {0x95, 0x02, 0x01, 0x3B, 0x10, 0x02, 0x02, 0x00, 0x00, 0x06};

TEST(FrameChecksum, Cases) {
    const RangeCase cases[] = {
        {"abc", Bytes("abc"), 0, 2, 0, 0x2543},
        {"first step", Bytes("abc"), 0, 0, 0, 0x0061},
        {"second step", Bytes("abc"), 0, 1, 0, 0x4A40},
        {"range inside the buffer", Bytes("xxabcx"), 2, 4, 0, 0x2543},
        {"example packet", kExamplePacket, 0, 9, 0, 0x6D07},
        {"empty range", Bytes("abc"), 2, 1, 0, 0},
        {"range cut at the buffer end", Bytes("abc"), 0, 0xFFFF, 0, 0x2543},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FrameChecksum(c.Buf, c.First, c.Last), c.Expected) << c.Name;
}

TEST(FrameChecksumFrom, Cases) {
    const RangeCase cases[] = {
        {"abc from 1234", Bytes("abc"), 0, 2, 0x1234, 0x6D17},
        {"abc from 0", Bytes("abc"), 0, 2, 0, 0x2543},
        {"empty range gives the start", Bytes("abc"), 1, 0, 0x1234, 0x1234},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FrameChecksumFrom(c.Buf, c.First, c.Last, c.Start), c.Expected) << c.Name;
}

TEST(SumFrom, Cases) {
    const RangeCase cases[] = {
        {"abc from 0", Bytes("abc"), 0, 2, 0, 0x0126},
        {"abc from FFFF wraps", Bytes("abc"), 0, 2, 0xFFFF, 0x0125},
        {"part of the buffer", Bytes("abc"), 1, 2, 0, 0x00C5},
        {"empty range gives the start", Bytes("abc"), 2, 0, 0x4321, 0x4321},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SumFrom(c.Buf, c.First, c.Last, c.Start), c.Expected) << c.Name;
}

TEST(NegSum, Cases) {
    const RangeCase cases[] = {
        {"abc", Bytes("abc"), 0, 2, 0, 0xFEDA},
        {"zero sum", std::vector<uint8_t>(4, 0), 0, 3, 0, 0},
        {"empty range", Bytes("abc"), 2, 1, 0, 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(NegSum(c.Buf, c.First, c.Last), c.Expected) << c.Name;
        EXPECT_EQ(static_cast<uint16_t>(SumFrom(c.Buf, c.First, c.Last, 0) + c.Expected), 0) << c.Name;
    }
}

TEST(ParamCrc16, Cases) {
    const RangeCase cases[] = {
        {"abc", Bytes("abc"), 0, 2, 0, 0x0715},
        {"0x80", {0x80}, 0, 0, 0, 0x100B},
        {"0x01", {0x01}, 0, 0, 0, 0x85D8},
        {"zero byte", {0x00}, 0, 0, 0, 0},
        {"inside the buffer", {0xEE, 0x80, 0xEE}, 1, 1, 0, 0x100B},
        {"empty range", Bytes("abc"), 2, 1, 0, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ParamCrc16(c.Buf, c.First, c.Last), c.Expected) << c.Name;
}

// The whole 64 KB buffer: every byte counts, the first and the last
// included, and an index loop over 16 bits still ends.
TEST(Checksums, FullRangeOf64KBuffer) {
    std::vector<uint8_t> buf(65536);
    for (size_t i = 0; i < buf.size(); ++i)
        buf[i] = static_cast<uint8_t>(i * 7 + (i >> 8));

    // Independent of a single pass: the two halves chained.
    EXPECT_EQ(FrameChecksum(buf, 0, 0xFFFF),
              FrameChecksumFrom(buf, 0x8000, 0xFFFF, FrameChecksum(buf, 0, 0x7FFF)));
    EXPECT_EQ(FrameChecksumFrom(buf, 0, 0xFFFF, 0x1357),
              FrameChecksumFrom(buf, 0x8000, 0xFFFF, FrameChecksumFrom(buf, 0, 0x7FFF, 0x1357)));
    EXPECT_EQ(SumFrom(buf, 0, 0xFFFF, 0x1111), SumFrom(buf, 0x8000, 0xFFFF, SumFrom(buf, 0, 0x7FFF, 0x1111)));

    std::vector<uint8_t> ends(65536, 0);
    ends[0] = 1;
    ends[0xFFFF] = 2;
    EXPECT_EQ(SumFrom(ends, 0, 0xFFFF, 0), 3);
    EXPECT_EQ(NegSum(ends, 0, 0xFFFF), 0xFFFD);
    std::vector<uint8_t> ff(65536, 0xFF);
    EXPECT_EQ(SumFrom(ff, 0, 0xFFFF, 0), 0); // 65536 * 255 wraps to 0
    EXPECT_EQ(NegSum(ff, 0, 0xFFFF), 0);

    const uint16_t crc = ParamCrc16(buf, 0, 0xFFFF);
    const uint16_t fc = FrameChecksum(buf, 0, 0xFFFF);
    for (size_t at : {size_t{0}, size_t{0xFFFF}}) {
        std::vector<uint8_t> changed = buf;
        changed[at] ^= 0x01;
        EXPECT_NE(ParamCrc16(changed, 0, 0xFFFF), crc) << at;
        EXPECT_NE(FrameChecksum(changed, 0, 0xFFFF), fc) << at;
    }
}

TEST(HexPairToByte, Cases) {
    const struct {
        char High, Low;
        uint8_t Expected;
    } cases[] = {
        {'f', 'F', 0xFF}, {'G', '1', 0x01}, {'0', '0', 0x00},
        {'9', 'a', 0x9A}, {'A', 'b', 0xAB}, {'z', 'Z', 0x53}, // letters past F map by the same arithmetic
        {'/', '0', 0xF0},                                     // below '0' wraps modulo 256
    };
    for (const auto &c : cases)
        EXPECT_EQ(HexPairToByte(c.High, c.Low), c.Expected) << c.High << c.Low;
}

} // namespace
