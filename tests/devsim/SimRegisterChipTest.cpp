// Register chips: a program packet writes the chip's registers, and a verify
// or read packet brings them back in the layout the host's family rule reads.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "protocol/CommandPackets.h"
#include "protocol/Frame.h"
#include "state/VltContext.h"
#include "tests/devsim/PtyHost.h"
#include "tools/devsim/SimDevice.h"

namespace {

void Record4(VltContext &ctx, size_t i, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    ctx.DataBuffer[4 * i] = a;
    ctx.DataBuffer[4 * i + 1] = b;
    ctx.DataBuffer[4 * i + 2] = c;
    ctx.DataBuffer[4 * i + 3] = d;
}

struct SimRegisters : ::testing::Test {
    std::vector<uint8_t> Send(uint8_t command) {
        uint16_t len = BuildFullPacket(*Ctx, 1, command, 0);
        Host.SendPacket(std::span<const uint8_t>(Ctx->PacketBuf[0]).first(len));
        auto reply = Host.ReadPacket();
        EXPECT_TRUE(reply);
        return reply.value_or(std::vector<uint8_t>{});
    }
    // Programs, then reads back with the data as `change` leaves it: the
    // read-out must show what was programmed, not what the read carried.
    std::vector<uint8_t> ProgramThenRead(const std::function<void(VltContext &)> &change) {
        auto status = Send(0x95);
        EXPECT_EQ(CheckReplyStatus(status, uint16_t(status.size())), 0);
        EXPECT_EQ(status.size(), 12u);
        if (change)
            change(*Ctx);
        auto reply = Send(0x9B);
        EXPECT_EQ(reply.size(), 4106u);
        EXPECT_EQ(CheckReplyStatus(reply, uint16_t(reply.size())), 0);
        return reply;
    }
    TSimDevice Dev;
    TPtyHost Host{Dev.PortPath()};
    std::unique_ptr<VltContext> Ctx = std::make_unique<VltContext>();
};

// Family 48: 4-byte records (section, -, register, data), page register 0xFF,
// only the generic section written, registers 0xE0 and up are commands.
TEST_F(SimRegisters, Family48WritesPagedRegistersAndEchoesRecordsWithChipValues) {
    VltContext &ctx = *Ctx;
    ctx.ChipFamily = 48;
    Record4(ctx, 0, 0x00, 0, 0xFF, 0x01); // page 1
    Record4(ctx, 1, 0x10, 0, 0x22, 0x5A); // 0x0122
    Record4(ctx, 2, 0x20, 0, 0x30, 0x77); // another section: not written
    Record4(ctx, 3, 0x20, 0, 0xFF, 0x05); // nor does it change the page
    Record4(ctx, 4, 0x00, 0, 0x10, 0xC3); // 0x0110
    Record4(ctx, 5, 0x00, 0, 0xFF, 0x00); // page 0
    Record4(ctx, 6, 0x00, 0, 0x10, 0x3F); // 0x0010
    Record4(ctx, 7, 0x00, 0, 0xE5, 0x11); // a command register
    ctx.RecordCount = 8;

    auto reply = ProgramThenRead([](VltContext &c) { c.DataBuffer[4 * 1 + 3] = 0x00; });
    const std::pair<uint16_t, uint8_t> regs[] = {{0x0122, 0x5A}, {0x0110, 0xC3}, {0x0010, 0x3F},
                                                 {0x0130, 0x00}, {0x0530, 0x00}, {0x00E5, 0x00}};
    for (auto [key, value] : regs)
        EXPECT_EQ(Dev.Register(key), value) << std::hex << key;

    ASSERT_EQ(reply.size(), 4106u);
    Dev.SetRegister(0x0010, 0x7F);
    reply = Send(0x9B);
    ASSERT_EQ(reply.size(), 4106u);
    const uint8_t *out = reply.data() + 8;
    EXPECT_EQ(out[4 * 1 + 3], 0x5A) << "the chip's value, not the packet's";
    EXPECT_EQ(out[4 * 6 + 3], 0x7F) << "the register as it is now";
    EXPECT_EQ(out[4 * 2 + 3], 0x77) << "records that are not read are echoed";
    EXPECT_EQ(out[4 * 4 + 2], 0x10);
    EXPECT_EQ(out[4 * 4 + 0], 0x00);
}

TEST_F(SimRegisters, Family48ChipInformationReportsLiveRegisters) {
    Ctx->ChipFamily = 48;
    Dev.SetRegister(0x0022, 0x00);
    Dev.SetRegister(0x002F, 0x40);
    Dev.SetRegister(0x0010, 0x9C);
    Dev.SetRegister(0x0122, 0xEE); // page 1: not reported
    uint16_t len = BuildSettingsPacket(*Ctx, 1, 0x93, 0x37);
    Host.SendPacket(std::span<const uint8_t>(Ctx->PacketBuf[0]).first(len));
    auto reply = Host.ReadPacket();
    ASSERT_TRUE(reply);
    ASSERT_GE(reply->size(), 13u);
    EXPECT_EQ((*reply)[8], 0x21); // revision bytes as configured
    EXPECT_EQ((*reply)[9], 0x53);
    EXPECT_EQ((*reply)[10], 0x00); // register 0x22
    EXPECT_EQ((*reply)[11], 0x40); // register 0x2F
    EXPECT_EQ((*reply)[12], 0x9C); // register 0x10
}

// The other register families, each with the positions its rule reads.
TEST_F(SimRegisters, OtherFamiliesReadBackInTheirLayouts) {
    struct Case {
        const char *what;
        std::function<void(VltContext &)> setup;
        std::function<void(VltContext &)> change;       // data the read carries instead
        std::vector<std::pair<size_t, uint8_t>> expect; // payload offset -> value
    };
    const Case cases[] = {
        {"family 5: register section after the preamble",
         [](VltContext &c) {
             c.ChipFamily = 5;
             c.FamilyParam2 = 1;
             c.RecordCount = 2;
             Record4(c, 0, 0x01, 0x00, 0x55, 0); // preamble: not written
             Record4(c, 1, 0x3A, 0x05, 0x99, 0);
             Record4(c, 2, 0x10, 0x00, 0x42, 0);
         },
         [](VltContext &c) {
             c.DataBuffer[4 + 2] = 0;
             c.DataBuffer[8 + 2] = 0;
         },
         {{4 + 2, 0x99}, {8 + 2, 0x42}, {4, 0x3A}, {5, 0x05}}},
        {"family 16, 8-bit: registers RegFirst..RegEnd",
         [](VltContext &c) {
             c.ChipFamily = 16;
             c.RegFirst = 2;
             c.RegEnd = 3;
             c.DataBuffer[1] = 0x01;
             c.DataBuffer[2] = 0xAA;
             c.DataBuffer[3] = 0xBB;
             c.DataBuffer[4] = 0xCC;
         },
         nullptr,
         {{1, 0x00}, {2, 0xAA}, {3, 0xBB}, {4, 0x00}}},
        {"family 16, 16-bit: words at 2i",
         [](VltContext &c) {
             c.ChipFamily = 16;
             c.FamilyParam1 = 0x04;
             c.RegFirst = 1;
             c.RegEnd = 1;
             c.DataBuffer[2] = 0x34;
             c.DataBuffer[3] = 0x12;
         },
         nullptr,
         {{2, 0x34}, {3, 0x12}, {1, 0x00}}},
        {"family 64: the block at data 256..383",
         [](VltContext &c) {
             c.ChipFamily = 64;
             c.DataBuffer[256] = 0x11;
             c.DataBuffer[383] = 0x22;
         },
         nullptr,
         {{0, 0x11}, {127, 0x22}}},
        {"family 224: RegEnd registers from RegBase",
         [](VltContext &c) {
             c.ChipFamily = 224;
             c.RegBase = 0x10;
             c.RegEnd = 2;
             Record4(c, 0, 0x10, 1, 0x5A, 0);
             Record4(c, 1, 0x11, 1, 0x6B, 0);
         },
         nullptr,
         {{0, 0x5A}, {1, 0x6B}, {2, 0x00}}},
        {"register/value/mask list: a table of keys and values",
         [](VltContext &c) {
             c.ChipFamily = 0;
             c.ChipSubType = 0x10;
             c.RecordCount = 2;
             Record4(c, 0, 0x21, 0xF0, 0xFF, 0);
             Record4(c, 1, 0x22, 0x5F, 0x0F, 0); // only the low nibble is written
         },
         [](VltContext &c) { c.DataBuffer[1] = 0; },
         {{0, 0x21}, {1, 0xF0}, {4, 0x22}, {5, 0x0F}, {8, 0x21}, {9, 0xF0}, {84, 0x21}}},
        {"command records: the three words per command",
         [](VltContext &c) {
             c.ChipFamily = 0;
             c.ChipSubType = 0x01;
             c.RecordCount = 2;
             const uint8_t r0[8] = {0xD0, 2, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
             std::copy(r0, r0 + 8, c.DataBuffer.begin());
         },
         [](VltContext &c) { std::fill_n(c.DataBuffer.begin() + 2, 6, 0); },
         {{0, 0xD0}, {1, 2}, {2, 0x11}, {3, 0x22}, {7, 0x66}, {8, 0x00}}},
    };
    for (const Case &c : cases) {
        TSimDevice dev;
        TPtyHost host(dev.PortPath());
        auto ctx = std::make_unique<VltContext>();
        c.setup(*ctx);
        auto send = [&](uint8_t command) {
            uint16_t len = BuildFullPacket(*ctx, 1, command, 0);
            host.SendPacket(std::span<const uint8_t>(ctx->PacketBuf[0]).first(len));
            return host.ReadPacket().value_or(std::vector<uint8_t>{});
        };
        EXPECT_EQ(ReplyStatus(send(0x95)), 0x00) << c.what;
        if (c.change)
            c.change(*ctx);
        auto reply = send(0x9B);
        ASSERT_EQ(reply.size(), 4106u) << c.what;
        EXPECT_EQ(CheckReplyStatus(reply, 4106), 0) << c.what;
        for (auto [at, value] : c.expect)
            EXPECT_EQ(reply[8 + at], value) << c.what << ", payload offset " << at;
    }
}

} // namespace
