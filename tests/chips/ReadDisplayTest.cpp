#include <gtest/gtest.h>

#include "ChipsFixture.h"
#include "app/ReadDisplay.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "protocol/ParamCrc16.h"

namespace {

using ReadDisplay = ChipsFixture;

TEST_F(ReadDisplay, HexViewerRows) {
    for (uint32_t i = 0; i < 4096; ++i)
        ctx.DataBuffer[i] = static_cast<uint8_t>(i);
    struct {
        uint32_t End;
        int Rows;
        const char *LastLabel;
    } const cases[] = {{4095, 256, "0x00000FF0"},
                       {0, 1, "0x00000000"},
                       {17, 2, "0x00000010"},
                       {65535, 4096, "0x0000FFF0"},
                       {0xFFFFFFFF, 4096, "0x0000FFF0"}};
    for (const auto &c : cases) {
        ctx.DataEndIndex = c.End;
        FillHexViewer(ctx);
        EXPECT_EQ(form.HexViewer.RowCount(), c.Rows + 1) << c.End;
        EXPECT_EQ(form.HexViewer.Cell(0, c.Rows), c.LastLabel);
        EXPECT_EQ(form.HexViewer.FixedRows, 1);
    }
    ctx.DataEndIndex = 4095;
    FillHexViewer(ctx);
    // Row 0x7F0: bytes F0..FF; row 2 covers 0x10..0x1F, all control characters.
    EXPECT_EQ(form.HexViewer.Cell(1, 16), "F0");
    EXPECT_EQ(form.HexViewer.Cell(16, 16), "FF");
    EXPECT_EQ(form.HexViewer.Cell(17, 2), "................");
    EXPECT_EQ(form.HexViewer.Cell(17, 3), " !\"#$%&'()*+,-./");
    EXPECT_EQ(form.HexViewer.Cell(17, 8), std::string("pqrstuvwxyz{|}~\x7F"));
    EXPECT_EQ(form.HexViewer.Cell(17, 9), "................"); // 0x80..0x8F
    // A shorter dump drops the rows of the longer one.
    ctx.DataEndIndex = 15;
    FillHexViewer(ctx);
    EXPECT_EQ(form.HexViewer.RowCount(), 2);
    EXPECT_EQ(form.HexViewer.Cell(0, 2), "");
}

TEST_F(ReadDisplay, ReadViewShowsItsTabAndFourDigitLabels) {
    form.TabSheetRd.TabVisible = false;
    ctx.ReadBuffer[0xF0] = 0x41;
    FillReadView(ctx, 0, 255);
    EXPECT_TRUE(form.TabSheetRd.TabVisible);
    EXPECT_EQ(form.ReadView.RowCount(), 17);
    EXPECT_EQ(form.ReadView.Cell(0, 1), "0x0000");
    EXPECT_EQ(form.ReadView.Cell(0, 16), "0x00F0");
    EXPECT_EQ(form.ReadView.Cell(1, 16), "41");
    EXPECT_EQ(form.ReadView.Cell(17, 16), "A...............");
    // A range that starts near the end shows only the bytes the buffer has.
    ctx.ReadBuffer[65535] = 0x5A;
    FillReadView(ctx, 65530, 65535);
    EXPECT_EQ(form.ReadView.RowCount(), 2);
    EXPECT_EQ(form.ReadView.Cell(6, 1), "5A");
    EXPECT_EQ(form.ReadView.Cell(7, 1), "");
    EXPECT_EQ(form.ReadView.Cell(17, 1), ".....Z");
}

TEST_F(ReadDisplay, ReadChecksums) {
    for (int i = 0; i < 300; ++i)
        ctx.ReadBuffer[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7);
    ShowReadChecksums(ctx, 0, 255);
    const std::string acc = Format("%0.4x", SumFrom(ctx.ReadBuffer, 0, 255, 0));
    const std::string crc = Format("%0.4x", FrameChecksum(ctx.ReadBuffer, 0, 255));
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"", std::string(kStamp) + "Read Data ACC CheckSum = 0x" + acc,
                                        std::string(kStamp) + "Read Data CRC CheckSum = 0x" + crc, ""}));
    EXPECT_EQ(form.ReadView.RowCount(), 17);
}

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

TEST_F(ReadDisplay, ParamChecksumShowsTheRegisterWindow) {
    ctx.ReadBuffer[5] = 0x10;
    ctx.ReadBuffer[255] = 0x01;
    struct {
        uint8_t RegEnd, Param1;
        int Rows;
    } const cases[] = {{0x20, 0, 3}, {0x20, 4, 5}, {0xFF, 4, 32}, {0, 0, 1}};
    for (const auto &c : cases) {
        ctx.RegEnd = c.RegEnd;
        ctx.FamilyParam1 = c.Param1;
        form.InfoMemo.Clear();
        ShowReadParamChecksum(ctx);
        EXPECT_EQ(Lines(),
                  (std::vector<std::string>{std::string(kStamp) + "Read Data ACC CheckSum = 0x0011"}));
        EXPECT_EQ(form.ReadView.RowCount(), c.Rows + 1);
    }
}

TEST_F(ReadDisplay, NoneChangesNothing) {
    const auto grid = form.ReadView.ChangeCount;
    ShowReadResultNone(ctx);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(form.ReadView.ChangeCount, grid);
}

} // namespace
