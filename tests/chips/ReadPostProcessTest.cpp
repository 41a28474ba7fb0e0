#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "protocol/ReadPostProcess.h"

namespace {

using ReadPostProcess = ChipsFixture;

TEST_F(ReadPostProcess, Family224ReadOutBecomesRecords) {
    ctx.ChipFamily = 224;
    ctx.RegBase = 0xFE;
    ctx.RegEnd = 3;
    ctx.DataBuffer.fill(0x77);
    ctx.ReadBuffer[0] = 0x10;
    ctx.ReadBuffer[1] = 0x20;
    ctx.ReadBuffer[2] = 0x30;
    ctx.DataLoaded = 1;
    ctx.RecordCount = 9;
    PostProcessReadOut(ctx);
    const uint8_t want[] = {0xFE, 1, 0x10, 0, 0xFF, 1, 0x20, 0, 0x00, 1, 0x30, 0};
    for (size_t i = 0; i < sizeof want; ++i)
        EXPECT_EQ(ctx.DataBuffer[i], want[i]) << i;
    for (size_t i = 12; i < 1024; ++i)
        ASSERT_EQ(ctx.DataBuffer[i], 0) << i;
    EXPECT_EQ(ctx.DataBuffer[1024], 0x77);
    EXPECT_EQ(ctx.DataLoaded, 1);
    EXPECT_EQ(ctx.RecordCount, 9);
    EXPECT_TRUE(Lines().empty());

    ctx.RegEnd = 255; // the largest read-out still ends inside the first KB
    PostProcessReadOut(ctx);
    EXPECT_EQ(ctx.DataBuffer[4 * 254], static_cast<uint8_t>(0xFE + 254));
    EXPECT_EQ(ctx.DataBuffer[1020], 0);
    EXPECT_EQ(ctx.DataBuffer[1024], 0x77);
}

TEST_F(ReadPostProcess, Family16Merge) {
    struct Case {
        const char *Name;
        uint8_t Param1, SubType, First, End, Loaded;
        std::vector<std::pair<int, int>> FileRanges; // inclusive ranges that show the file's bytes
    } const cases[] = {
        {"8-bit", 0, 0, 0x10, 0x20, 1, {{0, 15}, {32, 255}}},
        {"8-bit, first 0", 0, 0, 0, 0x20, 1, {{32, 255}}},
        {"8-bit, tag 2", 0, 2, 0x10, 0x20, 1, {{0, 15}, {32, 255}}},
        {"8-bit, tag 2 window over its bytes",
         0,
         2,
         0x00,
         0xFF,
         1,
         {{0, 1}, {40, 41}, {56, 57}, {66, 67}, {255, 255}}},
        {"16-bit", 4, 0, 0x10, 0x20, 1, {{0, 31}, {64, 255}}},
        {"16-bit, end past the map", 4, 0, 0x10, 0x80, 1, {{0, 31}}},
        {"no file", 0, 0, 0x10, 0x20, 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        for (size_t i = 0; i < 512; ++i) {
            ctx.DataBuffer[i] = 0xDA;
            ctx.ReadBuffer[i] = 0xC0;
        }
        ctx.FamilyParam1 = c.Param1;
        ctx.ChipSubType = c.SubType;
        ctx.RegFirst = c.First;
        ctx.RegEnd = c.End;
        ctx.DataLoaded = c.Loaded;
        MergeReadFam16(ctx);
        for (int i = 0; i < 512; ++i) {
            bool file = false;
            for (auto [a, b] : c.FileRanges)
                file = file || (i >= a && i <= b);
            ASSERT_EQ(ctx.ReadBuffer[static_cast<size_t>(i)], file ? 0xDA : 0xC0) << i;
        }
    }
}

TEST_F(ReadPostProcess, Family16ShowsTheParamChecksum) {
    ctx.ChipFamily = 16;
    ctx.RegEnd = 0x1F;
    ctx.ReadBuffer[0] = 3;
    PostProcessReadOut(ctx);
    EXPECT_EQ(Lines(), (std::vector<std::string>{std::string(kStamp) + "Read Data ACC CheckSum = 0x0003"}));
    EXPECT_EQ(form.ReadView.RowCount(), 3);
}

TEST_F(ReadPostProcess, Family48CopiesTheRecordsOfTheReply) {
    ctx.ChipFamily = 48;
    auto &reply = ctx.PacketBuf[0];
    for (size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<uint8_t>(i * 13);
    ctx.ReadBuffer.fill(0x44);
    ctx.RecordCount = 3;
    PostProcessReadOut(ctx);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(ctx.ReadBuffer[i], reply[8 + i]);
    EXPECT_EQ(ctx.ReadBuffer[12], 0x44);
    const std::string acc = Format("%0.4x", SumFrom(ctx.ReadBuffer, 0, 11, 0));
    const std::string crc = Format("%0.4x", FrameChecksum(ctx.ReadBuffer, 0, 11));
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"", std::string(kStamp) + "Read Data ACC CheckSum = 0x" + acc,
                                        std::string(kStamp) + "Read Data CRC CheckSum = 0x" + crc, ""}));
    EXPECT_EQ(form.ReadView.RowCount(), 2);
}

// Whatever RecordCount says, the copy takes only bytes of channel 1's packet area.
TEST_F(ReadPostProcess, Family48HostileRecordCount) {
    ctx.ChipFamily = 48;
    ctx.PacketBuf[0].fill(0x11);
    ctx.PacketBuf[1].fill(0x22);
    for (uint16_t count : {uint16_t{0xFFFF}, uint16_t{2558}, uint16_t{0}}) {
        ctx.ReadBuffer.fill(0x44);
        ctx.RecordCount = count;
        form.InfoMemo.Clear();
        CopyReadFam48(ctx);
        const size_t copied = std::min<size_t>(4u * count, kPacketSize - 8);
        for (size_t i = 0; i < kBufferSize; ++i)
            ASSERT_EQ(ctx.ReadBuffer[i], i < copied ? 0x11 : 0x44) << count << " " << i;
        // The summary covers 4 x RecordCount - 1, in 16 bits: a count of 0 shows the whole buffer.
        const uint16_t last = static_cast<uint16_t>(4 * count - 1);
        EXPECT_EQ(form.ReadView.RowCount(), last / 16 + 2);
        ASSERT_EQ(Lines().size(), 4u);
        EXPECT_EQ(Lines()[1], std::string(kStamp) + "Read Data ACC CheckSum = 0x" +
                                  Format("%0.4x", SumFrom(ctx.ReadBuffer, 0, last, 0)));
    }
}

TEST_F(ReadPostProcess, Family24) {
    ctx.ChipFamily = 24;
    const uint8_t data[] = {0x12, 0x34, 0xAB, 0xCD, 0x00, 0x07};
    std::copy(std::begin(data), std::end(data), ctx.ReadBuffer.begin());
    ctx.ChipSubType = 15;
    PostProcessReadOut(ctx);
    const std::string p = std::string(kStamp) + "Device 1 : ";
    EXPECT_EQ(Lines(), (std::vector<std::string>{p + "  Chip Control Register Data    = 0x1234.",
                                                 p + "  Chip RDAC Wiper Register Data = 0xABCD.",
                                                 p + "  Chip Last 50-TP Address Data  = 0x0007."}));
    EXPECT_EQ(form.ReadView.RowCount(), 9);
    form.InfoMemo.Clear();
    ctx.ChipSubType = 16;
    PostProcessReadOut(ctx);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(form.ReadView.RowCount(), 17);
}

TEST_F(ReadPostProcess, FamilyDispatch) {
    struct {
        uint8_t Family;
        size_t Lines; // what the family's display writes
        int Rows;
    } const cases[] = {{5, 4, 4097}, {0, 4, 2}, {32, 4, 2}, {64, 5, 17}, {80, 4, 2}};
    for (const auto &c : cases) {
        ctx.ChipFamily = c.Family;
        ctx.ChipSubType = 0;
        ctx.RecordCount = 0;
        ctx.DataLoaded = 0;
        form.InfoMemo.Clear();
        PostProcessReadOut(ctx);
        EXPECT_EQ(Lines().size(), c.Lines) << int(c.Family);
        EXPECT_EQ(form.ReadView.RowCount(), c.Rows) << int(c.Family);
    }
}

} // namespace
