#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "ChipsFixture.h"
#include "platform/Errors.h"
#include "protocol/ProgressReport.h"
#include "tests/platform/FileSizeLimit.h"

namespace fs = std::filesystem;

namespace {

struct ProgressReport : ChipsFixture {
    fs::path Dir;
    ProgressReport() {
        Dir = fs::temp_directory_path() / ("pelmor-progress-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        ctx.ProgramDir = Dir.string() + "/";
        for (auto &g : ctx.ChannelGauge)
            g->SetMaxValue(100);
    }
    ~ProgressReport() override { fs::remove_all(Dir); }

    // A report frame as the channel's packet: byte 7 makes the eight bytes add up to 0.
    void Report(int n, uint8_t stage, uint8_t result = 0, uint16_t current = 0, uint16_t maximum = 0,
                uint8_t first = 0x00) {
        auto &p = ctx.PacketBuf[static_cast<size_t>(n - 1)];
        p[0] = first;
        p[1] = stage;
        p[2] = result;
        p[3] = static_cast<uint8_t>(current);
        p[4] = static_cast<uint8_t>(current >> 8);
        p[5] = static_cast<uint8_t>(maximum);
        p[6] = static_cast<uint8_t>(maximum >> 8);
        uint8_t sum = 0;
        for (int i = 0; i < 7; ++i)
            sum = static_cast<uint8_t>(sum + p[static_cast<size_t>(i)]);
        p[7] = static_cast<uint8_t>(-sum);
        HandleProgressReport(ctx, n);
    }
    std::string L(int n, const std::string &text) {
        return "> " + Clock.DateText() + " " + Clock.TimeText() + " Device " + std::to_string(n) + " : " +
               text;
    }
};

TEST_F(ProgressReport, StageLinesAndGauge) {
    struct Case {
        int Channel;
        uint8_t Stage;
        uint16_t Current, Maximum;
        const char *Line; // nullptr: no line
        int Progress, Max;
        TColor Color;
    } const cases[] = {
        {1, 0x10, 0, 0, "Channel 1 : Initial Programming Interface ....", 5, 100, TColor::Blue},
        {3, 0x10, 0, 0, "Channel 3 : Start Auto-Programming....", 5, 100, TColor::Blue},
        {2, 0x20, 0, 0, "Channel 2 : Chip Blank Checking....", 50, 100, TColor::Red},
        {1, 0x30, 0, 0, "Channel 1 : Do Chip Erasing....", 50, 100, TColor::Red},
        {4, 0x40, 0, 800, "Channel 4 : Do Main Flash Programming....", 2, 800, TColor::Red},
        {4, 0x40, 300, 800, nullptr, 100, 800,
         TColor::Red}, // position set before the maximum, under the old one
        {1, 0x50, 0, 64, "Channel 1 : Do EEP Data Programming....", 2, 64, TColor::Red},
        {1, 0x50, 40, 64, nullptr, 42, 64, TColor::Red},
        {1, 0x70, 0, 0, "Channel 1 : Do Main Flash Verification....", 50, 100, TColor::Red},
        {2, 0x80, 0, 0, "Channel 2 : Do EEP Data Verification....", 50, 100, TColor::Red},
        {3, 0xA0, 0, 0, "Channel 3 : Do Chip Option Byte Programming....", 50, 100, TColor::Red},
        {3, 0x60, 0, 0, "", 7, 9, TColor::Red}, // unknown stage: an empty message, nothing else
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Stage));
        TGauge &g = form.GaugeBar(c.Channel);
        g.SetMaxValue(c.Stage == 0x60 ? 9 : 100);
        g.SetProgress(7);
        g.ForeColor = TColor::Red;
        form.InfoMemo.Clear();
        Report(c.Channel, c.Stage, 0, c.Current, c.Maximum);
        if (c.Line)
            EXPECT_EQ(Lines(), (std::vector<std::string>{L(c.Channel, c.Line)}));
        else
            EXPECT_TRUE(Lines().empty());
        EXPECT_EQ(g.Progress(), c.Progress);
        EXPECT_EQ(g.MaxValue(), c.Max);
        EXPECT_EQ(g.ForeColor, c.Color);
    }
    EXPECT_EQ(ctx.TotalOkCount + ctx.TotalNgCount, 0u);
}

TEST_F(ProgressReport, ResultsAreCountedPerChannelAndInTotal) {
    struct Case {
        int Channel;
        uint8_t Result;
        const char *Outcome;
        bool Ok;
    } const cases[] = {
        {1, 6, "Successed !", true},
        {2, 6, "Successed!", true},
        {1, 0, "Failed : Error=0x00!", false},
        {3, 0xAB, "Failed : Error=0xAB!", false},
        {3, 0x1E, "Error：芯片未设定读保护！", false},
        {1, 6, "Successed !", true},
    };
    uint32_t ok[5] = {}, ng[5] = {}, tok = 0, tng = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Outcome);
        TGauge &g = form.GaugeBar(c.Channel);
        g.SetMaxValue(60);
        g.SetProgress(10);
        g.ForeColor = TColor::Blue;
        form.InfoMemo.Clear();
        Report(c.Channel, 0xF0, c.Result);
        (c.Ok ? ok : ng)[c.Channel]++;
        (c.Ok ? tok : tng)++;
        EXPECT_EQ(ctx.ChannelOkCount[static_cast<size_t>(c.Channel - 1)], ok[c.Channel]);
        EXPECT_EQ(ctx.ChannelNgCount[static_cast<size_t>(c.Channel - 1)], ng[c.Channel]);
        const std::string n = std::to_string(c.Channel);
        EXPECT_EQ(Lines(), (std::vector<std::string>{
                               ">---- Total OK Number is : " + std::to_string(tok) + ", NG is " +
                                   std::to_string(tng) + " ----",
                               L(c.Channel, "Channel " + n + " : OK=" + std::to_string(ok[c.Channel]) +
                                                ", NG=" + std::to_string(ng[c.Channel]) + "."),
                               L(c.Channel, "Channel " + n + " : Progrmming Completed : " + c.Outcome)}));
        EXPECT_EQ(g.Progress(), 60);
        EXPECT_EQ(g.ForeColor, c.Ok ? TColor::Blue : TColor::Red);
    }
    EXPECT_EQ(ctx.TotalOkCount, 3u);
    EXPECT_EQ(ctx.TotalNgCount, 3u);
    EXPECT_EQ(ctx.ResultsSinceLogSave, 6u);
    // A report leaves the channel idle.
    EXPECT_EQ(ctx.ChannelBusy[0], 0);
    EXPECT_EQ(ctx.ChannelOpCode[0], 0);
}

TEST_F(ProgressReport, ReportFailingTheZeroSumChangesNothing) {
    form.GaugeBar2.SetProgress(33);
    auto &p = ctx.PacketBuf[1];
    const uint8_t bytes[] = {0x00, 0xF0, 0x06, 0, 0, 0, 0, 0x0B}; // adds up to 1
    std::copy(std::begin(bytes), std::end(bytes), p.begin());
    HandleProgressReport(ctx, 2);
    const uint8_t start[] = {0x00, 0x10, 0x00, 0, 0, 0, 0, 0xF1};
    std::copy(std::begin(start), std::end(start), p.begin());
    HandleProgressReport(ctx, 2);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(ctx.ChannelOkCount[1], 0u);
    EXPECT_EQ(ctx.TotalOkCount, 0u);
    EXPECT_EQ(ctx.ResultsSinceLogSave, 0u);
    EXPECT_EQ(form.GaugeBar2.Progress(), 33);
    // The first byte counts in the sum.
    Report(2, 0x20, 0, 0, 0, 0x5C);
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(ProgressReport, ResultLogPathRule) {
    struct {
        const char *Dir, *Date, *Time, *Path;
    } const cases[] = {
        {"/opt/vlt/", "2026/12/07", "22:15:03", "/opt/vlt/VLT_2026_12_07_22_15_03.log"},
        {"/opt/vlt/", "2026-12-07", "22:15:03", "/opt/vlt/VLT_2026_12_07_22_15_03.log"},
        {"/opt/vlt/", "7/12/2026", "9:05:00", "/opt/vlt/VLT_7_12_2026_9_05_00.log"},
        {"/opt/vlt/", "-7-12", "1:2", "/opt/vlt/VLT_-7_12_1_2.log"}, // the date's first character stays
        // A program started from its own folder has no folder text: the log stays beside it, not at the root.
        {"", "2026/12/07", "22:15:03", "VLT_2026_12_07_22_15_03.log"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ResultLogPath(c.Dir, c.Date, c.Time), c.Path);
}

std::string ReadFile(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(ProgressReport, Every2000thResultSavesThePanel) {
    Clock.ShortDateFormat = "yyyy/mm/dd";
    Clock.LongTimeFormat = "hh:nn:ss";
    form.InfoMemo.Add("earlier line");
    ctx.ResultsSinceLogSave = 1998;
    ctx.TotalOkCount = 1000;
    ctx.TotalNgCount = 998;
    Report(2, 0xF0, 6); // the 1999th
    EXPECT_TRUE(fs::is_empty(Dir));

    Report(4, 0xF0, 0x31); // the 2000th, on another channel
    const fs::path first = Dir / "VLT_2026_12_07_22_15_03.log";
    ASSERT_TRUE(fs::exists(first));
    EXPECT_EQ(ctx.ResultsSinceLogSave, 0u);
    // The file ends with the totals line of the result that caused it.
    std::string want;
    for (size_t i = 0; i < Lines().size() - 2; ++i)
        want += Lines()[i] + "\r\n";
    EXPECT_EQ(ReadFile(first), want);
    EXPECT_EQ(Lines()[Lines().size() - 3], ">---- Total OK Number is : 1001, NG is 999 ----");
    EXPECT_EQ(Lines().back(), L(4, "Channel 4 : Progrmming Completed : Failed : Error=0x31!"));

    // 2000 results later, another file under the time of then.
    Clock.Set(TDateTime{2026, 12, 8, 1, 2, 3, 0});
    for (int i = 0; i < 1999; ++i)
        Report(1 + i % 4, 0xF0, 6);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
    Report(1, 0xF0, 6);
    EXPECT_TRUE(fs::exists(Dir / "VLT_2026_12_08_01_02_03.log"));
    EXPECT_EQ(ctx.TotalOkCount + ctx.TotalNgCount, 4000u);
}

TEST_F(ProgressReport, AResultLogThatCannotBeWrittenWholeIsNotLeftBehind) {
    for (int i = 0; i < 300; ++i)
        form.InfoMemo.Add("earlier line " + std::to_string(i));
    ctx.ResultsSinceLogSave = 1999;
    std::string error;
    {
        TFileSizeLimit full(1024);
        try {
            Report(1, 0xF0, 6);
        } catch (const EInOutError &e) {
            error = e.what();
        }
    }
    const std::string file = ResultLogPath(ctx.ProgramDir, Clock.DateText(), Clock.TimeText());
    EXPECT_EQ(error, "Write error on \"" + file + "\". File too large");
    EXPECT_EQ(ctx.TotalOkCount, 1u);
    EXPECT_TRUE(fs::is_empty(Dir));
}

TEST_F(ProgressReport, FailedSaveEndsTheReportAtTheSave) {
    ctx.ProgramDir = (Dir / "missing").string() + "/";
    ctx.ResultsSinceLogSave = 1999;
    form.GaugeBar1.SetProgress(10);
    EXPECT_THROW(Report(1, 0xF0, 6), EInOutError);
    EXPECT_EQ(ctx.ChannelOkCount[0], 1u);
    EXPECT_EQ(ctx.TotalOkCount, 1u);
    EXPECT_EQ(ctx.ResultsSinceLogSave, 0u);
    EXPECT_EQ(form.GaugeBar1.Progress(), 10);
    EXPECT_EQ(Lines(), (std::vector<std::string>{">---- Total OK Number is : 1, NG is 0 ----"}));
}

} // namespace
