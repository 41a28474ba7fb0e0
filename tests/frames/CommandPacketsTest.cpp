#include "protocol/CommandPackets.h"
#include "protocol/BuildConstants.h"
#include "protocol/Frame.h"
#include "protocol/SettingsBlock.h"
#include "state/VltContext.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const std::set<size_t> kRandomInBlock = {4, 6, 7, 8, 9};

// The check word, written out again so the packets are checked against
// bytes computed apart from the code under test.
uint16_t RefCheckWord(const uint8_t *p, size_t first, size_t last) {
    uint32_t v = 0;
    for (size_t i = first; i <= last; ++i)
        v = (p[i] ^ (v >> 1) ^ ((v & 1) ? 0x4A12u : 0u)) & 0xFFFF;
    return static_cast<uint16_t>(v);
}
uint16_t RefSum(const uint8_t *p, size_t first, size_t last) {
    uint32_t s = 0;
    for (size_t i = first; i <= last; ++i)
        s += p[i];
    return static_cast<uint16_t>(s);
}
uint16_t Le(const uint8_t *p, size_t at) {
    return static_cast<uint16_t>(p[at] | p[at + 1] << 8);
}

class Packets : public ::testing::Test {
protected:
    std::unique_ptr<VltContext> Ctx = std::make_unique<VltContext>();
    VltContext &ctx = *Ctx;
    const uint8_t *Pkt(int n) const { return Ctx->PacketBuf[static_cast<size_t>(n - 1)].data(); }

    void SetChip() {
        ctx.ChipFamily = 0x30;
        ctx.ChipSubType = 0x07;
        for (size_t i = 0; i < kBufferSize; ++i)
            ctx.DataBuffer[i] = static_cast<uint8_t>(i * 31 + (i >> 10));
        for (size_t i = 0; i < kRegListSize; ++i) {
            ctx.RegListA[i] = static_cast<uint8_t>(0xA0 ^ i);
            ctx.RegListB[i] = static_cast<uint8_t>(0x50 + i);
        }
    }
    void ExpectHeader(int n, uint8_t cmd, uint16_t param, uint16_t payload) {
        const uint8_t *p = Pkt(n);
        EXPECT_EQ(p[0], cmd);
        EXPECT_EQ(Le(p, 1), param);
        EXPECT_EQ(p[3], 0x3B);
        EXPECT_EQ(p[4], ctx.ChipFamily);
        EXPECT_EQ(p[5], ctx.ChipSubType);
        EXPECT_EQ(Le(p, 6), payload);
        EXPECT_EQ(Le(p, 8 + payload), RefCheckWord(p, 0, 7 + payload)) << "check word";
    }
};

// Each setting lands in exactly its bytes of the block, little-endian, and
// nowhere else.
TEST_F(Packets, SettingsBlockByteForByte) {
    const struct {
        const char *Name;
        std::function<void(VltContext &)> Set;
        std::vector<std::pair<size_t, uint8_t>> Bytes;
    } rows[] = {
        {"ChipFamily", [](VltContext &c) { c.ChipFamily = 0x30; }, {{2, 0x30}}},
        {"ChipSubType", [](VltContext &c) { c.ChipSubType = 0x11; }, {{3, 0x11}}},
        {"AutoDetect", [](VltContext &c) { c.AutoDetect = 15; }, {{5, 15}}},
        {"TransferKB", [](VltContext &c) { c.TransferKB = 0x0140; }, {{10, 0x40}, {11, 0x01}}},
        {"InterfaceVoltage", [](VltContext &c) { c.InterfaceVoltage = 0x38; }, {{16, 0x38}}},
        {"PowerFlags", [](VltContext &c) { c.PowerFlags = 0x84; }, {{17, 0x84}}},
        {"VerifyFlags", [](VltContext &c) { c.VerifyFlags = 0x40; }, {{18, 0x40}}},
        {"FamilyParam1", [](VltContext &c) { c.FamilyParam1 = 0x04; }, {{19, 0x04}}},
        {"FamilyParam2", [](VltContext &c) { c.FamilyParam2 = 0x12; }, {{20, 0x12}}},
        {"FamilyParam3", [](VltContext &c) { c.FamilyParam3 = 0x13; }, {{21, 0x13}}},
        {"RegListACount", [](VltContext &c) { c.RegListACount = 0x19; }, {{22, 0x19}}},
        {"RegListBCount", [](VltContext &c) { c.RegListBCount = 0x05; }, {{23, 0x05}}},
        {"DeviceAddress", [](VltContext &c) { c.DeviceAddress = 0x68; }, {{24, 0x68}}},
        {"SpecialCommand", [](VltContext &c) { c.SpecialCommand = 0xD0; }, {{25, 0xD0}}},
        {"RegBase", [](VltContext &c) { c.RegBase = 0x21; }, {{26, 0x21}}},
        {"RegEnd", [](VltContext &c) { c.RegEnd = 0x7F; }, {{27, 0x7F}}},
        {"RegFirst", [](VltContext &c) { c.RegFirst = 0x02; }, {{28, 0x02}}},
        {"ChipParamA", [](VltContext &c) { c.ChipParamA = 0x9C; }, {{29, 0x9C}}},
        {"ChipId",
         [](VltContext &c) {
             c.ChipId = {0x21, 0x53};
         },
         {{30, 0x21}, {31, 0x53}}},
        {"ImageCheckWord", [](VltContext &c) { c.ImageCheckWord = 0x2543; }, {{32, 0x43}, {33, 0x25}}},
        {"ImageSum", [](VltContext &c) { c.ImageSum = 0x0126; }, {{34, 0x26}, {35, 0x01}}},
        {"RangeCheckWord", [](VltContext &c) { c.RangeCheckWord = 0x000F; }, {{40, 0x0F}, {41, 0x00}}},
        {"RangeSum", [](VltContext &c) { c.RangeSum = 0xC00F; }, {{42, 0x0F}, {43, 0xC0}}},
        {"RefCheckWord", [](VltContext &c) { c.RefCheckWord = 0xAB0F; }, {{44, 0x0F}, {45, 0xAB}}},
        {"RefSum", [](VltContext &c) { c.RefSum = 0x512F; }, {{46, 0x2F}, {47, 0x51}}},
        {"RecordCount", [](VltContext &c) { c.RecordCount = 0x1000; }, {{48, 0x00}, {49, 0x10}}},
        {"ChipParamWord", [](VltContext &c) { c.ChipParamWord = 0x0D0E; }, {{50, 0x0E}, {51, 0x0D}}},
        {"ChipInTime", [](VltContext &c) { c.ChipInTime = 50; }, {{54, 50}}},
        {"TakeOffTime", [](VltContext &c) { c.TakeOffTime = 33; }, {{55, 33}}},
        {"PowerOnTime", [](VltContext &c) { c.PowerOnTime = 60; }, {{56, 60}}},
        {"ClockDivisor", [](VltContext &c) { c.ClockDivisor = 6; }, {{58, 6}}},
        {"ChipConfig",
         [](VltContext &c) {
             c.ChipConfig = {0x10, 0xC0, 0x01, 0x50};
         },
         {{60, 0x10}, {61, 0xC0}, {62, 0x01}, {63, 0x50}}},
        {"QuantityLimitOn", [](VltContext &c) { c.QuantityLimitOn = 15; }, {{80, 15}}},
        {"QuantityLimit",
         [](VltContext &c) { c.QuantityLimit = 1000000; }, // 0x000F4240
         {{82, 0x40}, {83, 0x42}, {84, 0x0F}, {85, 0x00}}},
        {"QuantityLimit high byte", [](VltContext &c) { c.QuantityLimit = 0x12000000; }, {{85, 0x12}}},
        // Data the block does not carry changes nothing.
        {"not carried",
         [](VltContext &c) {
             c.DataSize = 0xFFFF;
             c.DataKB = 64;
             c.ChecksumEnd = 0xFFFFFFFF;
             c.ProgramCounter = 7;
         },
         {}},
    };
    for (const auto &row : rows) {
        auto c = std::make_unique<VltContext>();
        row.Set(*c);
        const TSettingsBlock b = MakeSettingsBlock(*c);
        Bytes expected(kSettingsBlockSize, 0);
        expected[1] = 0x3B;
        for (auto [at, v] : row.Bytes)
            expected[at] = v;
        for (size_t i = 0; i < kSettingsBlockSize; ++i) {
            if (kRandomInBlock.count(i))
                EXPECT_LE(b.Bytes[i], 254) << row.Name << " random byte " << i;
            else
                EXPECT_EQ(b.Bytes[i], expected[i]) << row.Name << " byte " << i;
        }
    }
}

TEST_F(Packets, MemoryImageSendsNoListBCount) {
    ctx.RegListBCount = 5;
    ctx.MemoryImageFlag = 1;
    EXPECT_EQ(MakeSettingsBlock(ctx).Bytes[23], 0);
    ctx.MemoryImageFlag = 0;
    EXPECT_EQ(MakeSettingsBlock(ctx).Bytes[23], 5);
}

TEST_F(Packets, RandomBytesStayBelow255AndVary) {
    ctx.PacketRandomState = 0; // seeds itself
    std::set<uint8_t> seen;
    for (int i = 0; i < 5000; ++i) {
        const uint8_t b = PacketRandomByte(ctx);
        ASSERT_LE(b, 254);
        seen.insert(b);
    }
    EXPECT_GT(seen.size(), 200u);
    // A set state repeats its bytes.
    ctx.PacketRandomState = 12345;
    const Bytes first = {PacketRandomByte(ctx), PacketRandomByte(ctx), PacketRandomByte(ctx)};
    ctx.PacketRandomState = 12345;
    EXPECT_EQ(first, (Bytes{PacketRandomByte(ctx), PacketRandomByte(ctx), PacketRandomByte(ctx)}));
}

TEST_F(Packets, ClosingPacketsLiterally) {
    SetChip(); // the chip does not show in a closing packet
    const struct {
        uint8_t Command;
        Bytes Packet;
    } cases[] = {
        {0x8A, {0x8A, 0x52, 0x45, 0x53, 0x54, 0xA8, 0x02, 0x00, 0x00, 0x00, 0xCD, 0x02}},
        {0x86, {0x86, 0x52, 0x45, 0x53, 0x54, 0xA8, 0x02, 0x00, 0x00, 0x00, 0xD2, 0x1E}},
    };
    for (const auto &c : cases)
        for (int n = 1; n <= 4; ++n) {
            ctx.PacketBuf[n - 1].fill(0x77);
            ASSERT_EQ(BuildShortPacket(ctx, n, c.Command), 12);
            EXPECT_EQ(Bytes(Pkt(n), Pkt(n) + 12), c.Packet) << int(c.Command) << " channel " << n;
        }
}

TEST_F(Packets, SettingsPackets) {
    SetChip();
    ctx.TransferKB = 64;
    ctx.DeviceAddress = 0x68;
    const struct {
        uint8_t Command;
        uint16_t Param;
    } cases[] = {{0x9B, 0x0000}, {0x9B, 0x0028}, {0x93, 0x37}};
    for (const auto &c : cases)
        for (int n = 1; n <= 4; ++n) {
            ASSERT_EQ(BuildSettingsPacket(ctx, n, c.Command, c.Param), 138);
            ExpectHeader(n, c.Command, c.Param, 128);
            EXPECT_EQ(Pkt(n)[8 + 1], 0x3B);
            EXPECT_EQ(Pkt(n)[8 + 2], 0x30);
            EXPECT_EQ(Pkt(n)[8 + 10], 64);
            EXPECT_EQ(Pkt(n)[8 + 24], 0x68);
        }
}

TEST_F(Packets, DataBlocks) {
    SetChip();
    const struct {
        uint16_t Pos;
        size_t From;
    } cases[] = {{0, 0}, {4, 4096}, {60, 61440}, {64, 0}, {68, 4096}, {0xFFFF, 0xFFFF * 1024 % 65536}};
    for (const auto &c : cases) {
        ASSERT_EQ(BuildDataBlock(ctx, 3, 0x55, c.Pos), 4106);
        ExpectHeader(3, 0x55, c.Pos, 4096);
        for (size_t i = 0; i < 4096; ++i)
            ASSERT_EQ(Pkt(3)[8 + i], ctx.DataBuffer[(c.From + i) % 65536]) << c.Pos << " at " << i;
    }
}

TEST_F(Packets, FullPackets) {
    SetChip();
    for (uint8_t cmd : {uint8_t{0x95}, uint8_t{0x9B}})
        for (int n = 1; n <= 4; ++n) {
            ASSERT_EQ(BuildFullPacket(ctx, n, cmd, 8), 4746);
            const uint8_t *p = Pkt(n);
            EXPECT_EQ(p[6], 0x80);
            EXPECT_EQ(p[7], 0x12);
            ExpectHeader(n, cmd, 8, 4736);
            EXPECT_EQ(p[8 + 1], 0x3B);
            EXPECT_EQ(p[8 + 3], 0x07);
            // Data always from offset 0, whatever the parameter.
            EXPECT_TRUE(std::equal(p + 136, p + 4232, ctx.DataBuffer.begin()));
            EXPECT_TRUE(std::equal(p + 4232, p + 4488, ctx.RegListA.begin()));
            EXPECT_TRUE(std::equal(p + 4488, p + 4744, ctx.RegListB.begin()));
        }
}

TEST_F(Packets, SetupPacket) {
    SetChip();
    ctx.ChipName = "PM6810";
    ctx.TransferKB = 4;
    for (uint16_t param : {uint16_t{0}, uint16_t{0x1234}}) {
        ctx.PacketBuf[1].fill(0x77); // earlier content of the record
        ASSERT_EQ(BuildSetupPacket(ctx, 2, 0x53, param, "image.bin"), 1546);
        const uint8_t *wire = Pkt(2);
        // Header and packet check word are not scrambled.
        ExpectHeader(2, 0x53, param, 1536);
        EXPECT_EQ(wire[6], 0x00);
        EXPECT_EQ(wire[7], 0x06);

        const uint8_t mask[2] = {static_cast<uint8_t>((param & 0xFF) ^ kSetupMaskConst[0]),
                                 static_cast<uint8_t>((param >> 8) ^ kSetupMaskConst[1])};
        Bytes plain(wire, wire + 1546);
        for (size_t i = 8; i <= 1543; ++i)
            plain[i] ^= mask[i % 2];
        const uint8_t *p = plain.data();

        EXPECT_EQ(Bytes(p + 8, p + 12), (Bytes{'Q', 'D', 'X', 'R'}));
        EXPECT_EQ(p[12 + 1], 0x3B);
        EXPECT_EQ(p[12 + 2], 0x30);
        EXPECT_EQ(p[12 + 3], 0x07);
        EXPECT_EQ(p[12 + 10], 4);
        EXPECT_EQ(Bytes(p + 246, p + 260), Bytes(14, 0x77)) << "bytes not written keep the record";
        // Inner check words and plain sums, taken before scrambling.
        EXPECT_EQ(Le(p, 260), RefCheckWord(p, 8, 259));
        EXPECT_EQ(Le(p, 262), RefSum(p, 8, 261));
        EXPECT_EQ(Le(p, 516), RefCheckWord(p, 8, 515));
        EXPECT_EQ(Le(p, 518), RefSum(p, 8, 517));
        EXPECT_EQ(Bytes(p + 264, p + 280),
                  (Bytes{'P', 'M', '6', '8', '1', '0', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Bytes(p + 280, p + 296),
                  (Bytes{'i', 'm', 'a', 'g', 'e', '.', 'b', 'i', 'n', 0, 0, 0, 0, 0, 0, 0}));
        EXPECT_TRUE(std::equal(p + 520, p + 776, ctx.RegListA.begin()));
        EXPECT_TRUE(std::equal(p + 776, p + 1032, ctx.RegListB.begin()));
        for (auto [first, last] : {std::pair<size_t, size_t>{140, 245}, {296, 515}, {1032, 1543}})
            for (size_t i = first; i <= last; ++i)
                ASSERT_LE(p[i], 254) << "random byte " << i;
        // The library's own inverse gives the same plain packet.
        Bytes again(wire, wire + 1546);
        UnscrambleSetupPacket(again);
        EXPECT_EQ(again, plain);
    }
}

TEST_F(Packets, SetupPacketTextFields) {
    const struct {
        const char *Name;
        std::string Text;
        Bytes Field;
    } cases[] = {
        {"empty", "", {'?', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"20 characters cut to 16",
         "abcdefghijklmnopqrst",
         {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'}},
        {"exactly 16",
         "0123456789ABCDEF",
         {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'}},
        // The device reads its code page (GBK), not UTF-8.
        {"Chinese in GBK",
         "芯片数据.bin",
         {0xD0, 0xBE, 0xC6, 0xAC, 0xCA, 0xFD, 0xBE, 0xDD, '.', 'b', 'i', 'n', 0, 0, 0, 0}},
        {"characters GBK lacks", "한😀x", {'?', '?', 'x', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"bytes that are no UTF-8",
         "a\xFF\xC3("
         "b\xE4\xB8",
         {'a', '?', '?', '(', 'b', '?', '?', 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"a double-byte character is not split at the cut",
         "abcdefghijklmno中",
         {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 0}},
        {"eight double-byte characters fill the field",
         "中文中文中文中文中",
         {0xD6, 0xD0, 0xCE, 0xC4, 0xD6, 0xD0, 0xCE, 0xC4, 0xD6, 0xD0, 0xCE, 0xC4, 0xD6, 0xD0, 0xCE, 0xC4}},
    };
    for (const auto &c : cases) {
        ctx.ChipName = c.Text;
        ASSERT_EQ(BuildSetupPacket(ctx, 1, 0x53, 0, c.Text), 1546);
        Bytes plain(Pkt(1), Pkt(1) + 1546);
        UnscrambleSetupPacket(plain);
        EXPECT_EQ(Bytes(plain.begin() + 264, plain.begin() + 280), c.Field) << c.Name << " chip name";
        EXPECT_EQ(Bytes(plain.begin() + 280, plain.begin() + 296), c.Field) << c.Name << " file name";
    }
}

TEST_F(Packets, SetupMaskConstantsAreAParameter) {
    const std::array<uint8_t, 2> other = {0x01, 0x02};
    EXPECT_EQ(SetupMask(0x1234, other), (std::array<uint8_t, 2>{0x35, 0x10}));
    EXPECT_EQ(SetupMask(0, kSetupMaskConst), kSetupMaskConst);
    Bytes pkt(1546, 0);
    pkt[1] = 0x34;
    pkt[2] = 0x12;
    ScrambleSetupPacket(pkt, other);
    EXPECT_EQ(pkt[7], 0x00);    // header untouched
    EXPECT_EQ(pkt[8], 0x35);    // even offset: mask byte 0
    EXPECT_EQ(pkt[1543], 0x10); // odd offset: mask byte 1
    EXPECT_EQ(pkt[1544], 0x00); // check word untouched
    Bytes tooShort(100, 0);
    ScrambleSetupPacket(tooShort, other);
    EXPECT_EQ(tooShort, Bytes(100, 0));
}

// Without a serial component nothing is sent, but the frame is in the
// channel's wire buffer and only that channel's buffers change.
TEST_F(Packets, SendersEncodeIntoTheChannelsWireBuffer) {
    SetChip();
    const struct {
        const char *Name;
        std::function<bool(VltContext &)> Send;
        uint16_t Len;
    } cases[] = {
        {"setup", [](VltContext &c) { return SendSetupPacket(c, 4, 0x53, 0, "f.bin"); }, 1546},
        {"data block", [](VltContext &c) { return SendDataBlock(c, 4, 0x55, 8); }, 4106},
        {"settings", [](VltContext &c) { return SendSettingsPacket(c, 4, 0x93, 0x37); }, 138},
        {"short", [](VltContext &c) { return SendShortPacket(c, 4, 0x86); }, 12},
        {"full", [](VltContext &c) { return SendFullPacket(c, 4, 0x95, 0); }, 4746},
    };
    for (const auto &c : cases) {
        for (int k = 0; k < 3; ++k) {
            ctx.PacketBuf[k].fill(0);
            ctx.WireBuf[k].fill(0);
        }
        EXPECT_FALSE(c.Send(ctx)) << c.Name;
        std::array<uint8_t, kWireSize> expected{};
        const uint16_t wireLen =
            EncodeFrame(std::span<const uint8_t>(ctx.PacketBuf[3]).first(c.Len), expected);
        ASSERT_GT(wireLen, 0) << c.Name;
        EXPECT_TRUE(std::equal(expected.begin(), expected.begin() + wireLen, ctx.WireBuf[3].begin()))
            << c.Name;
        for (int k = 0; k < 3; ++k) {
            EXPECT_TRUE(std::all_of(ctx.PacketBuf[k].begin(), ctx.PacketBuf[k].end(),
                                    [](uint8_t b) { return b == 0; }));
            EXPECT_TRUE(
                std::all_of(ctx.WireBuf[k].begin(), ctx.WireBuf[k].end(), [](uint8_t b) { return b == 0; }));
        }
    }
}

TEST_F(Packets, BadChannelBuildsNothing) {
    for (int n : {0, 5, -1}) {
        EXPECT_EQ(BuildShortPacket(ctx, n, 0x86), 0);
        EXPECT_EQ(BuildFullPacket(ctx, n, 0x95, 0), 0);
        EXPECT_FALSE(SendSettingsPacket(ctx, n, 0x9B, 0));
    }
}

} // namespace
