#include <gtest/gtest.h>

#include "platform/Format.h"
#include "state/BufferViews.h"
#include "state/CheckWords.h"
#include "tests/chips/ChipsFixture.h"

namespace {

using BufferViews = ChipsFixture;

TEST_F(BufferViews, HexViewerRows) {
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

TEST_F(BufferViews, ReadViewShowsItsTabAndFourDigitLabels) {
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

TEST_F(BufferViews, ReadChecksums) {
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

TEST_F(BufferViews, ParamChecksumShowsTheRegisterWindow) {
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

} // namespace
