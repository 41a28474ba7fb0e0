#include <gtest/gtest.h>

#include "app/ReceiveEvents.h"
#include "platform/EventQueue.h"
#include "protocol/ChannelOps.h"
#include "serial/Comm.h"
#include "tests/protocol/EngineFixture.h"
#include "tests/protocol/ProbeReply.h"
#include "tests/protocol/ReplyFeed.h"

using Kind = RecordingDialogs::Kind;

namespace {

struct Rig : EngineState {
    TPumpQueue Queue;
    std::unique_ptr<TComm> Comms[4];

    Rig() {
        for (size_t k = 0; k < 4; ++k) {
            Comms[k] = std::make_unique<TComm>(Queue);
            Ctx->ChannelComm[k] = Comms[k].get(); // never opened: sends go nowhere
        }
    }
    void Connect(int n) {
        Ctx->ChannelConnected[static_cast<size_t>(n - 1)] = 1;
        Ctx->ChannelOpCode[static_cast<size_t>(n - 1)] = OpIdle;
    }
    void Start(int n, uint8_t code) {
        Connect(n);
        Ctx->ChannelOpCode[static_cast<size_t>(n - 1)] = code;
        Ctx->TransferKB = 4;
        BeginOperation(*Ctx, n);
    }
    void Receive(int n, const std::vector<uint8_t> &bytes) {
        SPxCommReceiveData(*Ctx, n, bytes.data(), static_cast<uint16_t>(bytes.size()));
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i)
            Timer1Timer(*Ctx);
    }
    uint16_t Timeout(int n) const { return Ctx->ChannelTimeout[static_cast<size_t>(n - 1)]; }
    uint16_t RxCount(int n) const { return Ctx->ChannelRxCount[static_cast<size_t>(n - 1)]; }
};

std::vector<uint8_t> Ok() {
    return Framed(StatusReply(0));
}

} // namespace

TEST(ReceiveEvents, SplitReplyIsHandledOnceWhenItsLastChunkArrives) {
    Rig r;
    r.Start(2, OpProgram);
    const auto wire = Ok();
    const size_t closing = wire.size() - 1 - kFrameTrailerLength; // the closing 0xC0
    r.Ticks(300);
    for (size_t at = 0; at <= closing; at += 5) {
        const size_t end = std::min(at + 5, closing + 1);
        r.Receive(2, {wire.begin() + static_cast<long>(at), wire.begin() + static_cast<long>(end)});
        if (end <= closing) {
            EXPECT_EQ(r.Timeout(2), 500) << "each chunk restarts the time-out";
            EXPECT_EQ(r.ctx().ProgramCounter, 0u);
            r.Ticks(10);
        }
    }
    r.Receive(2, {wire.begin() + static_cast<long>(closing + 1), wire.end()}); // the trailer
    EXPECT_EQ(r.ctx().ProgramCounter, 1u);
    EXPECT_EQ(r.RxCount(2), kFrameTrailerLength); // the trailer waits for a frame
    EXPECT_EQ(r.ctx().ChannelOpCode[1], OpIdle);
}

TEST(ReceiveEvents, WhileACommandRunsWhatFollowsTheReplyIsDropped) {
    struct Case {
        const char *name;
        std::vector<uint8_t> second; // framed after the reply in the same chunk
    };
    const Case cases[] = {
        // A repeated acknowledgement would send the next block and end the download.
        {"a repeated reply", Ok()},
        {"a progress report", Framed(Report(0xF0, 6))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        r.ctx().MemoryImageFlag = 1;
        r.Start(1, OpDataBlocks);
        r.ctx().ChannelBlockTotal[0] = 12;
        const size_t before = r.Lines().size();
        auto chunk = Ok();
        chunk.insert(chunk.end(), c.second.begin(), c.second.end());
        r.Receive(1, chunk);
        EXPECT_EQ(r.ctx().ChannelBlockPos[0], 4);
        EXPECT_EQ(r.ctx().ChannelOpCode[0], OpDataBlocks);
        EXPECT_EQ(r.RxCount(1), 0);
        EXPECT_EQ(r.ctx().TotalOkCount, 0u);
        EXPECT_EQ(r.Lines().size(), before);
    }
}

TEST(ReceiveEvents, IdleChannelHandlesEveryFrameOfAChunkAndKeepsTheOneUnderWay) {
    const std::vector<std::vector<uint8_t>> reports = {Report(0x10), Report(0xF0, 6), Report(0xF0, 0x1E),
                                                       Report(0xF0, 0x2C)};
    const std::vector<std::string> texts = {
        "Channel 2 : Start Auto-Programming....",
        ">---- Total OK Number is : 1, NG is 0 ----",
        "Channel 2 : OK=1, NG=0.",
        "Channel 2 : Progrmming Completed : Successed!",
        ">---- Total OK Number is : 1, NG is 1 ----",
        "Channel 2 : OK=1, NG=1.",
        "Channel 2 : Progrmming Completed : Error：芯片未设定读保护！",
        ">---- Total OK Number is : 1, NG is 2 ----",
        "Channel 2 : OK=1, NG=2.",
        "Channel 2 : Progrmming Completed : Failed : Error=0x2C!",
    };
    auto lines = [](const std::vector<std::string> &t) {
        std::vector<std::string> out;
        for (const auto &l : t)
            out.push_back(l.rfind(">----", 0) == 0 ? l : DevLine(2, l));
        return out;
    };
    auto doubled = Framed(reports[3]);
    doubled.insert(doubled.begin(), kFrameDelimiter); // an opening delimiter sent twice
    // The last report cut anywhere before its closing delimiter.
    for (const auto &last : {Framed(reports[3]), doubled})
        for (size_t cut = 0; cut < last.size() - kFrameTrailerLength; ++cut) {
            SCOPED_TRACE(testing::Message() << "cut " << cut << " of " << last.size());
            Rig r;
            r.Connect(2);
            std::vector<uint8_t> chunk;
            for (size_t i = 0; i < 3; ++i) {
                const auto f = Framed(reports[i]);
                chunk.insert(chunk.end(), f.begin(), f.end());
            }
            chunk.insert(chunk.end(), last.begin(), last.begin() + static_cast<long>(cut));
            const size_t before = r.Lines().size();
            r.Receive(2, chunk);
            EXPECT_EQ(r.LinesFrom(before), lines({texts.begin(), texts.begin() + 7}));
            EXPECT_EQ(r.RxCount(2), cut); // from its opening delimiter on; the trailers are gone
            r.Receive(2, {last.begin() + static_cast<long>(cut), last.end()});
            EXPECT_EQ(r.LinesFrom(before), lines(texts));
            EXPECT_EQ(r.ctx().ChannelOkCount[1], 1u);
            EXPECT_EQ(r.ctx().ChannelNgCount[1], 2u);
            EXPECT_EQ(r.RxCount(2), 0);
            EXPECT_EQ(r.ctx().ChannelOpCode[1], OpIdle);
        }
}

TEST(ReceiveEvents, AFailedLogSaveStillLetsTheRestOfTheChunkCount) {
    Rig r;
    r.Connect(3);
    r.ctx().ProgramDir = "/nonexistent-pelmor-folder/";
    r.ctx().ResultsSinceLogSave = 1999; // the next result saves the panel
    std::vector<uint8_t> chunk;
    for (const auto &p : {Report(0xF0, 6), Report(0xF0, 0x2C), Report(0x10)}) {
        const auto f = Framed(p);
        chunk.insert(chunk.end(), f.begin(), f.end());
    }
    const auto partial = Framed(Report(0x20));
    chunk.insert(chunk.end(), partial.begin(), partial.begin() + 4);
    EXPECT_THROW(r.Receive(3, chunk), std::exception); // to the error display
    EXPECT_EQ(r.ctx().ChannelOkCount[2], 1u);
    EXPECT_EQ(r.ctx().ChannelNgCount[2], 1u);
    EXPECT_EQ(r.ctx().ResultsSinceLogSave, 1u);
    EXPECT_EQ(r.Lines().back(), DevLine(3, "Channel 3 : Start Auto-Programming...."));
    EXPECT_EQ(r.RxCount(3), 4);
}

// Damage on an idle channel costs at most the frame it touches: every result
// that arrives whole after it is counted, one per block or several per block,
// and also when the damage shares its block with the first of them.
TEST(ReceiveEvents, DamageOnAnIdleChannelCostsNoLaterResult) {
    const auto report = Framed(Report(0xF0, 6));
    const size_t half = report.size() / 2;
    struct Damage {
        const char *name;
        std::vector<uint8_t> bytes;
        bool lineError; // a line error after the bytes
    };
    const Damage damages[] = {
        {"a bad escape", {0xC0, 0x11, 0xDB, 0x41, 0x22, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false},
        {"junk holding one delimiter", {0x11, 0xC0, 0x22, 0x33}, false},
        {"the tail of a frame whose start was lost", {report.begin() + 4, report.end()}, false},
        {"a line error in a report", {report.begin(), report.begin() + static_cast<long>(half)}, true},
        {"a frame of noise",
         {0xC0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         false},
        {"junk opening with a doubled delimiter", {0xC0, 0xC0, 0x11, 0x22}, false},
    };
    constexpr size_t kResults = 30;
    for (const Damage &d : damages)
        for (const size_t perBlock : {1, 2})
            for (const bool sameBlock : {false, true}) {
                if (sameBlock && d.lineError)
                    continue;
                SCOPED_TRACE(testing::Message() << d.name << ", " << perBlock << " per block"
                                                << (sameBlock ? ", damage in the first block" : ""));
                Rig r;
                r.Connect(2);
                std::vector<uint8_t> block;
                if (sameBlock)
                    block = d.bytes;
                else
                    r.Receive(2, d.bytes);
                if (d.lineError)
                    SPxCommReceiveError(r.ctx(), 2, 0x08);
                for (size_t i = 0; i < kResults; ++i) {
                    block.insert(block.end(), report.begin(), report.end());
                    if ((i + 1) % perBlock == 0) {
                        r.Receive(2, block);
                        block.clear();
                    }
                }
                EXPECT_EQ(r.ctx().ChannelOkCount[1], kResults);
                EXPECT_EQ(r.ctx().TotalOkCount, kResults);
                EXPECT_EQ(r.ctx().ChannelNgCount[1], 0u);
                EXPECT_EQ(r.RxCount(2), 0);
                EXPECT_TRUE(r.Dialogs.Calls.empty());
            }
}

// After a frame that is not taken, its closing delimiter is read again as an
// opening one. What it then opens may be that frame's trailer and noise up to
// the next report, and pass the report's 8-bit sum by chance: it must not be
// taken for a report (no line), nor swallow the next report's opening
// delimiter, however the reads are cut.
TEST(ReceiveEvents, NoiseAfterAFrameNotTakenCostsNoLaterResultAndWritesNoLine) {
    auto damagedHeader = Report(0xF0, 6);
    damagedHeader[7] ^= 0x01;
    struct NotTaken {
        const char *name;
        std::vector<uint8_t> frame;
    };
    const NotTaken frames[] = {
        {"a stray reply", Framed(StatusReply(0))},
        {"a report whose header is damaged", Framed(damagedHeader)},
        {"a short frame", {0xC0, 0x11, 0x22, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    // Each passes the sum test when read as a report: with the trailer
    // before it, five 0xFF and three bytes adding up to 5; without, eight
    // bytes adding up to 0.
    const std::vector<uint8_t> afterTrailer = {0x01, 0x02, 0x02, 0x11, 0x22, 0x33};
    const std::vector<uint8_t> alone = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x40, 0x99};
    const auto report = Framed(Report(0xF0, 6));
    const std::vector<std::string> want = {">---- Total OK Number is : 1, NG is 0 ----",
                                           DevLine(2, "Channel 2 : OK=1, NG=0."),
                                           DevLine(2, "Channel 2 : Progrmming Completed : Successed!")};
    for (const NotTaken &f : frames)
        for (const bool trailer : {true, false}) {
            std::vector<uint8_t> stream = f.frame;
            if (!trailer)
                stream.resize(stream.size() - kFrameTrailerLength);
            const auto &noise = trailer ? afterTrailer : alone;
            stream.insert(stream.end(), noise.begin(), noise.end());
            stream.insert(stream.end(), report.begin(), report.end());
            // Read whole, cut in two anywhere, and one byte at a time.
            std::vector<std::vector<size_t>> cuttings = {{}};
            for (size_t cut = 1; cut < stream.size(); ++cut)
                cuttings.push_back({cut});
            std::vector<size_t> everyByte;
            for (size_t cut = 1; cut < stream.size(); ++cut)
                everyByte.push_back(cut);
            cuttings.push_back(everyByte);
            for (const auto &cuts : cuttings) {
                SCOPED_TRACE(testing::Message()
                             << f.name << (trailer ? ", its trailer" : ", no trailer") << ", " << cuts.size()
                             << " cuts from " << (cuts.empty() ? 0 : cuts[0]));
                Rig r;
                r.Connect(2);
                const size_t before = r.Lines().size();
                size_t from = 0;
                for (size_t at : cuts) {
                    r.Receive(2, {stream.begin() + static_cast<long>(from),
                                  stream.begin() + static_cast<long>(at)});
                    from = at;
                }
                r.Receive(2, {stream.begin() + static_cast<long>(from), stream.end()});
                ASSERT_EQ(r.LinesFrom(before), want);
                EXPECT_EQ(r.ctx().ChannelOkCount[1], 1u);
            }
        }
}

// A report whose trailer is missing is a report: followed at once by the next
// frame after a frame that was taken or not, and followed by anything when
// nothing doubtful came before it, however the reads are cut.
TEST(ReceiveEvents, AReportWithoutItsTrailerStillCounts) {
    auto bare = Framed(Report(0xF0, 6));
    bare.resize(bare.size() - kFrameTrailerLength);
    const auto report = Framed(Report(0xF0, 0x2C));
    struct Case {
        const char *name;
        std::vector<uint8_t> before;
        std::vector<uint8_t> between; // noise after the report without trailer
    };
    const std::vector<uint8_t> noise = {0x11, 0x22, 0x33};
    const Case cases[] = {
        {"alone", {}, {}},
        {"alone, noise after it", {}, noise},
        {"after a report", Framed(Report(0x10)), {}},
        {"after a report, noise after it", Framed(Report(0x10)), noise},
        {"after a stray reply", Framed(StatusReply(0)), {}},
        {"after a short frame", {0xC0, 0x11, 0x22, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {}},
    };
    for (const Case &c : cases) {
        std::vector<uint8_t> stream = c.before;
        stream.insert(stream.end(), bare.begin(), bare.end());
        stream.insert(stream.end(), c.between.begin(), c.between.end());
        stream.insert(stream.end(), report.begin(), report.end());
        for (size_t cut = 0; cut <= stream.size(); ++cut) {
            SCOPED_TRACE(testing::Message() << c.name << ", cut at " << cut);
            Rig r;
            r.Connect(2);
            r.Receive(2, {stream.begin(), stream.begin() + static_cast<long>(cut)});
            r.Receive(2, {stream.begin() + static_cast<long>(cut), stream.end()});
            ASSERT_EQ(r.ctx().ChannelOkCount[1], 1u);
            ASSERT_EQ(r.ctx().ChannelNgCount[1], 1u);
        }
    }
}

// The same with noise of every kind: random bytes (no delimiter) between a
// frame not taken and the next report, for many seeds.
TEST(ReceiveEvents, RandomNoiseAfterAFrameNotTakenNeverCostsTheNextReport) {
    const auto report = Framed(Report(0xF0, 6));
    const auto stray = Framed(StatusReply(0));
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    Rig r;
    r.Connect(3);
    // Below the 2000 results that save the panel.
    constexpr size_t kRounds = 1999;
    for (size_t i = 0; i < kRounds; ++i) {
        std::vector<uint8_t> chunk = stray;
        if (i % 2)
            chunk.resize(chunk.size() - kFrameTrailerLength);
        const size_t len = 8 + next() % 24;
        for (size_t b = 0; b < len; ++b) {
            uint8_t v = next();
            chunk.push_back(v == kFrameDelimiter || v == kFrameEscape ? 0x5A : v);
        }
        chunk.insert(chunk.end(), report.begin(), report.end());
        r.Receive(3, chunk);
    }
    EXPECT_EQ(r.ctx().ChannelOkCount[2], kRounds);
    EXPECT_EQ(r.ctx().ChannelNgCount[2], 0u);
    for (const auto &line : r.Lines())
        EXPECT_EQ(line.find(" Device 3 : ", line.size() - 12), std::string::npos) << "an empty report line";
}

TEST(ReceiveEvents, UnconnectedChannelTakesAFrameAsTheProbeAnswer) {
    Rig r;
    r.Start(3, OpProgram);
    r.ctx().ChannelConnected[2] = 0;
    r.Receive(3, Ok()); // not a probe answer: ignored
    EXPECT_EQ(r.ctx().ProgramCounter, 0u);
    EXPECT_EQ(r.ctx().ChannelConnected[2], 0);
    EXPECT_EQ(r.RxCount(3), 0);
    r.Receive(3, Framed(ProbeReply("Pelmor200VLT")));
    EXPECT_EQ(r.ctx().ChannelConnected[2], 1);
}

TEST(ReceiveEvents, ChunkThatWouldOverflowTheBufferStartsItAgain) {
    Rig r;
    r.Start(4, OpProgram);
    std::vector<uint8_t> noise(2048, 0x55);
    r.Receive(4, {0xC0}); // an opening delimiter that never closes
    for (int i = 0; i < 7; ++i)
        r.Receive(4, noise);
    EXPECT_EQ(r.RxCount(4), 1 + 7 * 2048);
    const std::vector<uint8_t> tail(1300, 0x55);
    r.Receive(4, tail); // 15,637 would not fit: the chunk starts a fresh buffer
    EXPECT_EQ(r.RxCount(4), 1300);
    r.Receive(4, Ok());
    EXPECT_EQ(r.ctx().ProgramCounter, 1u);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(ReceiveEvents, SilenceEndsTheOperationWithItsTimeoutText) {
    struct Case {
        uint8_t code;
        int channel;
        const char *text;
    };
    const Case cases[] = {
        {OpSetup, 2, "Device2: Operation Timeout!"},  {OpProgram, 2, "Chip2: Operation Timeout!"},
        {OpVerify, 4, "Chip4: Operation Timeout!"},   {OpDataBlocks, 1, "Chip1: Operation Timeout!"},
        {OpReadChip, 1, "Chip1: Operation Timeout!"}, {OpSetup, 3, "Device3: Operation Timeout!"}};
    for (const Case &t : cases) {
        SCOPED_TRACE(t.text);
        Rig r;
        r.Start(t.channel, t.code);
        const size_t before = r.Lines().size();
        r.Ticks(999);
        EXPECT_EQ(r.Lines().size(), before);
        r.Ticks(1);
        EXPECT_EQ(r.LinesFrom(before),
                  (std::vector<std::string>{Stamp() + t.text, DevLine(t.channel, "Operation Failed!")}));
        EXPECT_EQ(r.ctx().ChannelOpCode[static_cast<size_t>(t.channel - 1)], OpIdle);
        EXPECT_EQ(r.Form->GaugeBar(t.channel).ForeColor, TColor::Red);
        EXPECT_TRUE(r.Dialogs.Calls.empty());
        r.Ticks(2000); // idle channels are not counted
        EXPECT_EQ(r.LinesFrom(before).size(), 2u);
    }
}

TEST(ReceiveEvents, BytesRestartTheTimeoutAt500Ticks) {
    Rig r;
    r.Start(1, OpVerify);
    r.Ticks(900);
    r.Receive(1, {0xFF, 0xC0, 0x55}); // a frame begins and stops
    const size_t before = r.Lines().size();
    r.Ticks(499);
    EXPECT_EQ(r.Lines().size(), before);
    r.Ticks(1);
    EXPECT_EQ(r.LinesFrom(before)[0], Stamp() + "Chip1: Operation Timeout!");
}

TEST(ReceiveEvents, ChannelsTimingOutOnOneTickWriteInChannelOrder) {
    Rig r;
    r.Start(3, OpProgram);
    r.Start(1, OpSetup);
    const size_t before = r.Lines().size();
    r.Ticks(1000);
    EXPECT_EQ(
        r.LinesFrom(before),
        (std::vector<std::string>{Stamp() + "Device1: Operation Timeout!", DevLine(1, "Operation Failed!"),
                                  Stamp() + "Chip3: Operation Timeout!", DevLine(3, "Operation Failed!")}));
}

TEST(ReceiveEvents, LineErrorClearsBusyAndBufferButKeepsTheCode) {
    Rig r;
    r.Start(2, OpProgram);
    r.Receive(2, {0xC0, 0x95, 0x00});
    const size_t before = r.Lines().size();
    const auto gauge = r.Form->GaugeBar2.Progress();
    SPxCommReceiveError(r.ctx(), 2, 0x08);
    EXPECT_EQ(r.RxCount(2), 0);
    EXPECT_EQ(r.ctx().ChannelBusy[1], 0);
    EXPECT_EQ(r.ctx().ChannelOpCode[1], OpProgram);
    EXPECT_EQ(r.ctx().ChannelConnected[1], 1);
    EXPECT_EQ(r.Form->GaugeBar2.Progress(), gauge);
    r.Ticks(3000); // no longer timed
    EXPECT_EQ(r.Lines().size(), before);
    r.Receive(2, Ok()); // a late reply still belongs to the operation
    EXPECT_EQ(r.ctx().ProgramCounter, 1u);
}

TEST(ReceiveEvents, HangupUnbindsTheChannelAndTheOperationTimesOut) {
    Rig r;
    r.Form->ComboBoxCOM.Items = {"/dev/pts/7", "/dev/pts/8", "/dev/pts/9"};
    r.Form->ComboBoxCOM.ItemIndex = 2;
    r.Start(3, OpVerify);
    const size_t before = r.Lines().size();
    SPxCommRequestHangup(r.ctx(), 3);
    EXPECT_EQ(r.ctx().ChannelConnected[2], 0);
    EXPECT_FALSE(r.Form->GaugeBar3.Enabled);
    EXPECT_FALSE(r.Comms[2]->IsOpen());
    // The first entry goes, whichever channel hung up.
    EXPECT_EQ(r.Form->ComboBoxCOM.Items, (std::vector<std::string>{"/dev/pts/8", "/dev/pts/9"}));
    EXPECT_EQ(r.Form->ComboBoxCOM.ItemIndex, 1) << "still /dev/pts/9";
    EXPECT_EQ(r.Lines().size(), before);
    r.Ticks(1000);
    EXPECT_EQ(r.LinesFrom(before), (std::vector<std::string>{Stamp() + "Chip3: Operation Timeout!",
                                                             DevLine(3, "Operation Failed!")}));
}
