#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "protocol/ParamCrc16.h"
#include "protocol/ReadResultDisplay.h"
#include "state/BufferViews.h"

namespace {

using ReadDisplay = ChipsFixture;

TEST_F(ReadDisplay, ReadResultEndIndex) {
    struct {
        uint8_t Family, SubType;
        uint16_t Records;
        uint8_t Param2;
        uint8_t Loaded;
        uint32_t End;
    } const cases[] = {
        {64, 0, 0, 0, 0, 255}, {224, 0, 9, 0, 0, 255},      {0, 0x10, 99, 3, 0, 15}, {0, 0x10, 0, 5, 0, 31},
        {0, 0, 1, 9, 0, 15},   {0, 0, 2, 9, 0, 31},         {32, 0, 0, 0, 0, 15},    {0, 0, 0, 0, 1, 777},
        {64, 0, 0, 0, 1, 255}, {0, 0, 0xFFFF, 0, 0, 65535},
    };
    for (const auto &c : cases) {
        ctx.ChipFamily = c.Family;
        ctx.ChipSubType = c.SubType;
        ctx.RecordCount = c.Records;
        ctx.FamilyParam2 = c.Param2;
        ctx.DataLoaded = c.Loaded;
        ctx.DataEndIndex = 777;
        ShowReadResult(ctx);
        EXPECT_EQ(ctx.DataEndIndex, c.End) << int(c.Family) << " " << int(c.SubType) << " " << c.Records;
    }
}

TEST_F(ReadDisplay, Family64ReadResultLogsTheParameterCrcFirst) {
    for (int i = 0; i < 256; ++i)
        ctx.ReadBuffer[static_cast<size_t>(i)] = static_cast<uint8_t>(255 - i);
    ctx.ChipFamily = 64;
    ShowReadResult(ctx);
    ASSERT_EQ(Lines().size(), 5u);
    EXPECT_EQ(Lines()[0], std::string(kStamp) + "Read APARAM Data CRC CheckSum = 0x" +
                              Format("%0.4x", ParamCrc16(ctx.ReadBuffer, 0, 127)));
    EXPECT_EQ(Lines()[2], std::string(kStamp) + "Read Data ACC CheckSum = 0x" +
                              Format("%0.4x", SumFrom(ctx.ReadBuffer, 0, 255, 0)));
    EXPECT_EQ(form.ReadView.RowCount(), 17);
}

TEST_F(ReadDisplay, OtpTimesLeft) {
    struct {
        int Record; // -1: no record 0..14 starts with 9
        uint8_t Byte1;
        int Left;
    } const cases[] = {{0, 0x00, 2}, {3, 0x40, 1}, {14, 0x80, 0}, {14, 0xFF, 0}, {-1, 0x00, -1}};
    for (const auto &c : cases) {
        ctx.ReadBuffer.fill(0);
        if (c.Record >= 0) {
            ctx.ReadBuffer[4 * static_cast<size_t>(c.Record)] = 9;
            ctx.ReadBuffer[4 * static_cast<size_t>(c.Record) + 1] = c.Byte1;
        }
        ctx.ReadBuffer[60] = 9; // record 15 is not looked at
        ctx.ChipFamily = 0;
        ctx.ChipSubType = 0x12;
        form.InfoMemo.Clear();
        ShowReadResult(ctx);
        if (c.Left < 0) {
            EXPECT_EQ(Lines().size(), 4u);
        } else {
            ASSERT_EQ(Lines().size(), 6u);
            EXPECT_EQ(Lines()[4], "");
            EXPECT_EQ(Lines()[5],
                      std::string(kStamp) + Format("Current OTP has %d Times to Programing!", c.Left));
        }
    }
}

TEST_F(ReadDisplay, ChipInformationOfFamily5) {
    ctx.RecordCount = 10; // base 80
    ctx.ReadBuffer[80] = 0x34;
    ctx.ReadBuffer[81] = 0x12;
    ctx.ReadBuffer[82] = 0;
    ctx.ReadBuffer[83] = 1;
    ctx.ReadBuffer[110] = 0x0F;
    ctx.ReadBuffer[89] = 0x40;
    ShowChipInformation(ctx);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", "> Read Chip Information is Following : ",
                                                 "  * Chip is Si1234A-B,Chip has 1 Bank to be used!",
                                                 "  * Chip Device Address is 0x40"}));
    EXPECT_EQ(form.ReadView.RowCount(), 1 + 3); // bytes 0..39
}

TEST_F(ReadDisplay, ChipInformationNibblesAndBanks) {
    struct {
        uint8_t B0, B1, Bank;
        const char *Line;
    } const cases[] = {
        {0xAB, 0xFE, 0x00, "  * Chip is Si?>:;A-A,Chip has 3 Bank to be used!"},
        {0x00, 0x00, 0x3F, "  * Chip is Si0000A-A,Chip has 0 Bank to be used!"},
        {0x00, 0x00, 0x03, "  * Chip is Si0000A-A,Chip has 2 Bank to be used!"},
    };
    for (const auto &c : cases) {
        ctx.ReadBuffer.fill(0);
        ctx.RecordCount = 0; // base 48
        ctx.ReadBuffer[48] = c.B0;
        ctx.ReadBuffer[49] = c.B1;
        ctx.ReadBuffer[78] = c.Bank;
        form.InfoMemo.Clear();
        ShowChipInformation(ctx);
        ASSERT_EQ(Lines().size(), 4u);
        EXPECT_EQ(Lines()[2], c.Line);
    }
    // A count of 0 shows the whole buffer.
    EXPECT_EQ(form.ReadView.RowCount(), 4097);
}

TEST_F(ReadDisplay, ChipInformationWithAHostileCountStaysInTheBuffer) {
    ctx.RecordCount = 16367; // base 65520: the block's bytes wrap to the buffer's start
    ctx.ReadBuffer[(65520 + 30) & 0xFFFF] = 0x3F;
    ctx.ReadBuffer[65521] = 0x98;
    ctx.ReadBuffer[65520] = 0x76;
    ctx.ReadBuffer[65522] = 0xC0; // 0x41 + 0xC0 wraps to 0x01
    ShowChipInformation(ctx);
    ASSERT_EQ(Lines().size(), 4u);
    EXPECT_EQ(Lines()[2], std::string("  * Chip is Si9876\x01-A,Chip has 0 Bank to be used!"));
}

TEST_F(ReadDisplay, NoneChangesNothing) {
    const auto grid = form.ReadView.ChangeCount;
    ShowReadResultNone(ctx);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(form.ReadView.ChangeCount, grid);
}

} // namespace
