#include <gtest/gtest.h>

#include "protocol/ChannelOps.h"
#include "tests/protocol/EngineFixture.h"

using Kind = RecordingDialogs::Kind;

TEST(ChannelOps, MemoLineCarriesDateTimeAndChannelPrefix) {
    EngineState s;
    s.Clock.ShortDateFormat = "dd/mm/yyyy";
    s.Clock.LongTimeFormat = "hh:nn:ss";
    MemoDeviceLine(s.ctx(), 3, "Operation Success!");
    ASSERT_EQ(s.Lines().size(), 1u);
    EXPECT_EQ(s.Lines()[0], "> 09/03/2026 14:05:07 Device 3 : Operation Success!");
}

TEST(ChannelOps, BeginDropsBufferedBytesAndArmsTheTimeoutEvenWhenBusy) {
    EngineState s;
    VltContext &c = s.ctx();
    c.ChannelBusy[1] = 1;
    c.ChannelTimeout[1] = 7;
    c.ChannelRxCount[1] = 33;
    c.ChannelBlockPos[1] = 12;
    c.ChannelOpCode[1] = OpReadChip;
    c.TransferKB = 64;
    TGauge &g = s.Form->GaugeBar2;
    g.ForeColor = TColor::Red;
    const int repaints = g.RepaintCount;

    BeginOperation(c, 2);

    EXPECT_EQ(c.ChannelBlockPos[1], 0);
    EXPECT_EQ(c.ChannelRxCount[1], 0);
    EXPECT_EQ(c.ChannelTimeout[1], 1000);
    EXPECT_EQ(c.ChannelBusy[1], 1);
    EXPECT_EQ(c.ChannelBlockTotal[1], 64);
    EXPECT_EQ(c.ChannelOpCode[1], OpReadChip); // the caller's code stays
    EXPECT_EQ(g.Progress(), 2);
    EXPECT_EQ(g.MaxValue(), 64);
    EXPECT_EQ(g.ForeColor, TColor::Blue);
    EXPECT_GT(g.RepaintCount, repaints);
    EXPECT_TRUE(s.Lines().empty());
    // Other channels are untouched.
    EXPECT_EQ(c.ChannelBusy[0], 0);
    EXPECT_EQ(c.ChannelTimeout[0], 0);
}

TEST(ChannelOps, BeginWithNothingToTransferKeepsTheGaugeInRange) {
    EngineState s;
    s.ctx().TransferKB = 0;
    BeginOperation(s.ctx(), 1);
    EXPECT_EQ(s.Form->GaugeBar1.MaxValue(), 0);
    EXPECT_EQ(s.Form->GaugeBar1.Progress(), 0);
}

TEST(ChannelOps, EndSetsIdleFillsTheGaugeAndWritesItsLine) {
    struct Case {
        uint8_t failed;
        TColor colour;
        const char *line;
    };
    for (const Case &t :
         {Case{0, TColor::Blue, "Operation Success!"}, Case{1, TColor::Red, "Operation Failed!"},
          Case{0x31, TColor::Red, "Operation Failed!"}}) {
        SCOPED_TRACE(t.line);
        EngineState s;
        VltContext &c = s.ctx();
        c.TransferKB = 16;
        c.ChannelOpCode[3] = OpVerify;
        BeginOperation(c, 4);
        c.ChannelRxCount[3] = 5;

        EndOperation(c, 4, t.failed);

        EXPECT_EQ(c.ChannelBusy[3], 0);
        EXPECT_EQ(c.ChannelRxCount[3], 0);
        EXPECT_EQ(c.ChannelOpCode[3], OpIdle);
        EXPECT_EQ(s.Form->GaugeBar4.ForeColor, t.colour);
        EXPECT_EQ(s.Form->GaugeBar4.Progress(), 16);
        EXPECT_EQ(s.Lines(), std::vector<std::string>{DevLine(4, t.line)});
        EXPECT_TRUE(s.Dialogs.Calls.empty());
    }
}

TEST(ChannelOps, EndingTwiceWritesTwoLinesAndLeavesTheSameState) {
    EngineState s;
    VltContext &c = s.ctx();
    EndOperation(c, 1, 1);
    EndOperation(c, 1, 1);
    EXPECT_EQ(s.Lines(),
              (std::vector<std::string>{DevLine(1, "Operation Failed!"), DevLine(1, "Operation Failed!")}));
    EXPECT_EQ(c.ChannelOpCode[0], OpIdle);
    EXPECT_EQ(c.ChannelBusy[0], 0);
}

TEST(ChannelOps, StatusMessagesOfEveryCode) {
    struct Case {
        uint8_t code;
        const char *text;
    };
    const Case cases[] = {
        {0x20, "Data packet Error!"},
        {0x23, "Packet Error!"},
        {0x25, "Unknow Command!"},
        {0xA5, "Unknow Command!"},
        {0x2C, "Write EEP Memory Error!"},
        {0x2F, "OTP is Full!"},
        {0x31, "Data Verify Error!"},
        {0x34, "Chip Verify Error!"},
        {0x36, "Chip Type Error!"},
        {0x38, "Chip Error!"},
        {0x40, "Command Execute Time Out"},
        {0x45, "Command Execute Error!"},
        {0x5D, "PEC Data Error!"},
        {0x60, "Interface Error or no Chip!"},
        {0x41, "Operate Error! Code=065(0x41)"},
        {0x07, "Operate Error! Code=07(0x07)"},
        {0x01, "Operate Error! Code=01(0x01)"},
        {0x7F, "Operate Error! Code=0127(0x7F)"},
        // Unlisted codes print unmasked.
        {0xC1, "Operate Error! Code=0193(0xC1)"},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.text);
        EngineState s;
        ShowStatusMessage(s.ctx(), 2, t.code);
        EXPECT_EQ(s.Dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, t.text}}));
        EXPECT_EQ(s.Lines(), std::vector<std::string>{DevLine(2, t.text)});
    }
}

TEST(ChannelOps, SuccessStatusBeepsBeforeTheInformationBox) {
    for (uint8_t code : {uint8_t{0}, uint8_t{6}}) {
        EngineState s;
        ShowStatusMessage(s.ctx(), 1, code);
        EXPECT_EQ(s.Dialogs.Calls, (std::vector<RecordingDialogs::Call>{
                                       {Kind::Beep, ""}, {Kind::Information, "Operation Success!"}}));
        EXPECT_EQ(s.Lines(), std::vector<std::string>{DevLine(1, "Operation Success!")});
    }
}

TEST(ChannelOps, StatusLineIsWrittenOnlyAfterTheBoxCloses) {
    EngineState s;
    std::vector<size_t> linesWhileOpen;
    s.Dialogs.WhileOpen = [&](const RecordingDialogs::Call &) { linesWhileOpen.push_back(s.Lines().size()); };
    ShowStatusMessage(s.ctx(), 1, 0x23);
    EXPECT_EQ(linesWhileOpen, std::vector<size_t>{0});
    EXPECT_EQ(s.Lines().size(), 1u);
}
