#include <gtest/gtest.h>

#include <numeric>

#include "platform/Format.h"
#include "protocol/ChannelOps.h"
#include "protocol/ReplyHandling.h"
#include "tests/protocol/EngineFixture.h"
#include "tests/protocol/ReplyFeed.h"

using Kind = RecordingDialogs::Kind;

namespace {

// The command byte and parameter of the packet last built on channel n.
struct Sent {
    uint8_t command;
    uint16_t param;
    bool operator==(const Sent &) const = default;
};
std::ostream &operator<<(std::ostream &os, const Sent &s) {
    return os << "cmd 0x" << std::hex << int(s.command) << " param " << std::dec << s.param;
}

struct ReplyRig : EngineState {
    std::vector<Sent> SentPackets[4];

    // Starts an operation as the command buttons do.
    void Start(int n, uint8_t code, uint16_t transferKB) {
        ctx().ChannelOpCode[static_cast<size_t>(n - 1)] = code;
        ctx().ChannelConnected[static_cast<size_t>(n - 1)] = 1;
        ctx().TransferKB = transferKB;
        BeginOperation(ctx(), n);
    }
    // Hands a reply to the handler; notes the packet built in answer, if any.
    void Reply(int n, const std::vector<uint8_t> &packet) {
        auto &buf = ctx().PacketBuf[static_cast<size_t>(n - 1)];
        buf[0] = 0;
        HandleResponse(ctx(), n, FeedReply(ctx(), n, packet));
        if (buf[0] != 0xEE && buf[0] != 0)
            SentPackets[n - 1].push_back({buf[0], static_cast<uint16_t>(buf[1] | buf[2] << 8)});
    }
    uint8_t Op(int n) const { return Ctx->ChannelOpCode[static_cast<size_t>(n - 1)]; }
    bool Busy(int n) const { return Ctx->ChannelBusy[static_cast<size_t>(n - 1)] != 0; }
};

std::vector<uint8_t> Ok() {
    return StatusReply(0);
}

} // namespace

TEST(ReplyHandling, DownloadStepsThroughTheBlocksAndClosesAfterTheEnd) {
    struct Case {
        uint8_t imageFlag;
        uint16_t transferKB;
        std::vector<uint16_t> blocks;
    };
    const Case cases[] = {
        {1, 8, {0, 4}},
        {1, 5, {0, 4}}, // a remainder is one more block
        {1, 0, {0}},    // at least one block
        {1, 64, {0, 4, 8, 12, 16, 20, 24, 28, 32, 36, 40, 44, 48, 52, 56, 60}},
        {0, 16, {0}}, // a register or command list is one block
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(testing::Message() << "image " << int(t.imageFlag) << " KB " << t.transferKB);
        ReplyRig r;
        r.ctx().MemoryImageFlag = t.imageFlag;
        r.Start(2, OpSetup, t.transferKB);
        std::vector<int> gauge;
        r.Reply(2, Ok()); // setup accepted
        EXPECT_EQ(r.Op(2), OpDataBlocks);
        gauge.push_back(r.Form->GaugeBar2.Progress());
        for (size_t b = 0; b < t.blocks.size(); ++b) {
            EXPECT_TRUE(r.Busy(2));
            r.Reply(2, StatusReply(6)); // 6 is success too
            gauge.push_back(r.Form->GaugeBar2.Progress());
        }
        std::vector<Sent> want;
        for (uint16_t b : t.blocks)
            want.push_back({0x55, b});
        want.push_back({0x8A, 0x4552}); // closing packet: "RE" where the parameter sits
        EXPECT_EQ(r.SentPackets[1], want);
        EXPECT_EQ(r.Op(2), OpIdle);
        EXPECT_FALSE(r.Busy(2));
        EXPECT_EQ(r.Lines().back(), DevLine(2, "Operation Success!"));
        // 4 after the setup, the next block's end after each block, full at the end.
        const int full = r.Form->GaugeBar2.MaxValue();
        std::vector<int> wantGauge{std::min(4, full)};
        for (size_t b = 0; b + 1 < t.blocks.size(); ++b)
            wantGauge.push_back(std::min(t.blocks[b + 1] + 4, full));
        wantGauge.push_back(full);
        EXPECT_EQ(gauge, wantGauge);
        EXPECT_TRUE(r.Dialogs.Calls.empty());
    }
}

TEST(ReplyHandling, DownloadGaugeGoesTwoFourEightAndStaysFull) {
    ReplyRig r;
    r.ctx().MemoryImageFlag = 1;
    r.Start(1, OpSetup, 8);
    std::vector<int> seen{r.Form->GaugeBar1.Progress()};
    for (int i = 0; i < 3; ++i) {
        r.Reply(1, Ok());
        seen.push_back(r.Form->GaugeBar1.Progress());
    }
    EXPECT_EQ(seen, (std::vector<int>{2, 4, 8, 8}));
}

TEST(ReplyHandling, ProgramCountsOnEveryChannelInReplyOrder) {
    ReplyRig r;
    for (int n = 1; n <= 4; ++n)
        r.Start(n, OpProgram, 4);
    int counter = 0;
    for (int n : {3, 1, 4, 2}) {
        const size_t before = r.Lines().size();
        r.Reply(n, Ok());
        ++counter;
        EXPECT_EQ(r.LinesFrom(before),
                  (std::vector<std::string>{DevLine(n, "Counter : " + std::to_string(counter)),
                                            DevLine(n, "Operation Success!")}));
        EXPECT_EQ(r.SentPackets[n - 1], (std::vector<Sent>{{0x86, 0x4552}}));
        EXPECT_EQ(r.Op(n), OpIdle);
    }
    EXPECT_EQ(r.ctx().ProgramCounter, 4u);
    // The count carries on over later commands.
    r.Start(2, OpProgram, 4);
    r.Reply(2, Ok());
    EXPECT_EQ(r.Lines()[r.Lines().size() - 2], DevLine(2, "Counter : 5"));
}

TEST(ReplyHandling, BadReplyEndsThatChannelOnlyAndShowsItsStatus) {
    struct Case {
        std::vector<uint8_t> reply;
        const char *text;
    };
    auto broken = Ok();
    broken.back() ^= 0x01; // wrong check word
    const Case cases[] = {
        {broken, "Packet Error!"},
        {StatusReply(0x60), "Interface Error or no Chip!"},
        {StatusReply(0xA5), "Unknow Command!"},
        {StatusReply(0x41), "Operate Error! Code=065(0x41)"},
        // The top bit over a success code is still a failure: never the success box.
        {StatusReply(0x86), "Operate Error! Code=0134(0x86)"},
        {StatusReply(0x80), "Operate Error! Code=0128(0x80)"},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(t.text);
        ReplyRig r;
        r.Start(1, OpProgram, 4);
        r.Start(3, OpProgram, 4);
        const size_t before = r.Lines().size();
        r.Reply(3, t.reply);
        EXPECT_EQ(r.LinesFrom(before),
                  (std::vector<std::string>{DevLine(3, "Operation Failed!"), DevLine(3, t.text)}));
        EXPECT_EQ(r.Dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, t.text}}));
        EXPECT_EQ(r.Form->GaugeBar3.ForeColor, TColor::Red);
        EXPECT_EQ(r.Op(3), OpIdle);
        EXPECT_TRUE(r.SentPackets[2].empty());
        EXPECT_EQ(r.ctx().ProgramCounter, 0u);
        // Channel 1 goes on.
        EXPECT_TRUE(r.Busy(1));
        r.Reply(1, Ok());
        EXPECT_EQ(r.ctx().ProgramCounter, 1u);
    }
}

TEST(ReplyHandling, UndecodableFrameChangesNothing) {
    ReplyRig r;
    r.Start(1, OpVerify, 4);
    const std::vector<uint8_t> junk = {0xC0, 0x01, 0x02, 0xC0}; // shorter than a header
    auto &rx = r.ctx().ChannelRxBuffer[0];
    std::copy(junk.begin(), junk.end(), rx.begin());
    const size_t lines = r.Lines().size();
    HandleResponse(r.ctx(), 1, static_cast<uint16_t>(junk.size()));
    EXPECT_EQ(r.Op(1), OpVerify);
    EXPECT_TRUE(r.Busy(1));
    EXPECT_EQ(r.Lines().size(), lines);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

namespace {

// An image of `size` bytes in DataBuffer; the chip's copy of one 4 KB block.
struct VerifyRig : ReplyRig {
    explicit VerifyRig(uint16_t size) {
        ctx().MemoryImageFlag = 1;
        ctx().RecordCount = size;
        for (size_t i = 0; i < kBufferSize; ++i)
            ctx().DataBuffer[i] = static_cast<uint8_t>(i * 7 + 3);
    }
    std::vector<uint8_t> Block(uint16_t kb) const {
        const size_t base = kb * 1024u % kBufferSize;
        return DataReply(std::span<const uint8_t>(Ctx->DataBuffer).subspan(base, 4096));
    }
};

} // namespace

TEST(ReplyHandling, VerifyComparesOnlyTheLoadedImage) {
    struct Case {
        uint16_t transferKB;
        std::vector<uint16_t> requested; // blocks asked for after the first
    };
    for (const Case &t : {Case{8, {4}}, Case{12, {4, 8}}}) {
        SCOPED_TRACE(t.transferKB);
        VerifyRig r(4100);
        r.Start(4, OpVerify, t.transferKB);
        r.Reply(4, r.Block(0));
        auto second = r.Block(4);
        second[kPktPayload + 4] ^= 0xFF; // beyond the image: not compared
        SealPacket(second);
        r.Reply(4, second);
        if (t.transferKB == 12) {
            std::vector<uint8_t> garbage(4096, 0x5A); // wholly beyond the image
            r.Reply(4, DataReply(garbage));
        }
        std::vector<Sent> want;
        for (uint16_t b : t.requested)
            want.push_back({0x9B, b});
        EXPECT_EQ(r.SentPackets[3], want);
        EXPECT_EQ(r.LinesFrom(r.Lines().size() - 2),
                  (std::vector<std::string>{DevLine(4, "Chip Data Verify Success!"),
                                            DevLine(4, "Operation Success!")}));
        EXPECT_EQ(r.Op(4), OpIdle);
        EXPECT_TRUE(r.Dialogs.Calls.empty());
    }
}

TEST(ReplyHandling, VerifyReportsTheFirstDifferenceAndStops) {
    VerifyRig r(0x8000);
    r.Start(1, OpVerify, 32);
    r.Reply(1, r.Block(0));
    auto block = r.Block(4);
    const size_t at = 0x1234 - 0x1000;
    r.ctx().DataBuffer[0x1234] = 0xAB;
    block[kPktPayload + at] = 0xCD;
    block[kPktPayload + at + 1] ^= 0x10; // a later difference is not reported
    SealPacket(block);
    const size_t before = r.Lines().size();
    r.Reply(1, block);
    EXPECT_EQ(r.LinesFrom(before),
              (std::vector<std::string>{DevLine(1, "Verify Error! Address=0x1234,Buffer=0xAB,Chip=0xCD."),
                                        DevLine(1, "Operation Failed!")}));
    EXPECT_EQ(r.SentPackets[0], (std::vector<Sent>{{0x9B, 4}}));
    EXPECT_EQ(r.Op(1), OpIdle);
    EXPECT_EQ(r.Form->GaugeBar1.ForeColor, TColor::Red);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(ReplyHandling, LateReplyAfterALineErrorIsStillTheOperationsReply) {
    ReplyRig r;
    r.Start(2, OpProgram, 4);
    r.ctx().ChannelBusy[1] = 0; // what a line error leaves
    r.Reply(2, Ok());
    EXPECT_EQ(r.ctx().ProgramCounter, 1u);
    EXPECT_EQ(r.Op(2), OpIdle);
}

TEST(ReplyHandling, IdleChannelTakesFramesAsProgressReportsWithoutADialog) {
    ReplyRig r;
    r.ctx().ChannelOpCode[1] = OpIdle;
    r.ctx().ChannelConnected[1] = 1;
    auto broken = StatusReply(0x60);
    broken.back() ^= 0xFF;
    r.Reply(2, broken);
    r.Reply(2, StatusReply(0x25));
    EXPECT_TRUE(r.Dialogs.Calls.empty());
    EXPECT_EQ(r.Op(2), OpIdle);
    // A zero-sum header is a report: stage 0x10 writes its line.
    std::vector<uint8_t> report = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    report[7] = static_cast<uint8_t>(0x100 - 0x10);
    r.Reply(2, report);
    EXPECT_EQ(r.Lines().size(), 1u);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(ReplyHandling, ChipInformationGoesToTheFamilysPrinterAndEndsOnce) {
    struct Case {
        uint8_t family;
        std::vector<uint8_t> payload;
        const char *last;
    };
    const Case cases[] = {
        {48, {0x12, 0x34, 0x00, 0x3F, 0x00}, "Operation Success!"},
        {5, {0x21, 0x00, 0x00, 0x01}, "Operation Failed!"}, // not identified
        {0, {0x70, 0x01, 0x34, 0x12}, "Operation Success!"},
    };
    for (const Case &t : cases) {
        SCOPED_TRACE(int(t.family));
        ReplyRig r;
        r.ctx().ChipFamily = t.family;
        r.Start(1, OpReadInfo, 4);
        auto payload = t.payload;
        payload.resize(40, 0);
        r.Reply(1, ReplyPacket(0x93, payload));
        ASSERT_GE(r.Lines().size(), 3u);
        EXPECT_EQ(r.Lines().front(), DevLine(1, "Read Chip Information as below:"));
        EXPECT_EQ(r.Lines().back(), DevLine(1, t.last));
        size_t ends = 0;
        for (const auto &l : r.Lines())
            ends += l == DevLine(1, "Operation Success!") || l == DevLine(1, "Operation Failed!");
        EXPECT_EQ(ends, 1u);
        EXPECT_EQ(r.Op(1), OpIdle);
    }
}

TEST(ReplyHandling, RegisterVerifyIsEndedByTheFamilysRoutine) {
    ReplyRig r;
    r.ctx().MemoryImageFlag = 0;
    r.ctx().ChipFamily = 48;
    r.ctx().RecordCount = 0; // nothing to compare
    r.Start(3, OpVerify, 4);
    r.Reply(3, DataReply(std::vector<uint8_t>(4096, 0)));
    EXPECT_EQ(r.Op(3), OpIdle);
    EXPECT_EQ(r.Lines(),
              (std::vector<std::string>{DevLine(3, "Chip Verify Success!"), DevLine(3, "Operation Success!"),
                                        DevLine(3, "Operation Success!")}));
    EXPECT_EQ(r.Dialogs.Texts(Kind::Information), std::vector<std::string>{"Operation Success!"});

    // Family 224 compares nothing: the operation waits for its time-out.
    ReplyRig q;
    q.ctx().MemoryImageFlag = 0;
    q.ctx().ChipFamily = 224;
    q.Start(1, OpVerify, 4);
    q.Reply(1, DataReply(std::vector<uint8_t>(4096, 0)));
    EXPECT_EQ(q.Op(1), OpVerify);
    EXPECT_TRUE(q.Busy(1));
    EXPECT_EQ(q.Form->GaugeBar1.Progress(), q.Form->GaugeBar1.MaxValue());
    EXPECT_TRUE(q.Lines().empty());
}

TEST(ReplyHandling, ReadChipOfRegisterDataTakesTheOneReply) {
    ReplyRig r;
    r.ctx().MemoryImageFlag = 0;
    r.ctx().ChipFamily = 48;
    r.ctx().RecordCount = 2;
    r.Start(1, OpReadChip, 4);
    std::vector<uint8_t> data(4096);
    std::iota(data.begin(), data.end(), uint8_t{1});
    r.Reply(1, DataReply(data));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), r.ctx().ReadBuffer.begin()));
    EXPECT_EQ(r.ctx().ReadDataValid, 1);
    ASSERT_GE(r.Lines().size(), 2u);
    EXPECT_EQ(r.Lines()[0], DevLine(1, "Chip Memory Data Read out!"));
    EXPECT_EQ(r.Lines()[1], DevLine(1, "Operation Success!"));
    EXPECT_TRUE(r.SentPackets[0].empty());
}

TEST(ReplyHandling, ReadChipOfAnImageFillsTheReadBufferBlockByBlock) {
    ReplyRig r;
    r.ctx().MemoryImageFlag = 1;
    r.Start(1, OpReadChip, 64);
    std::vector<uint8_t> chip(kBufferSize);
    for (size_t i = 0; i < chip.size(); ++i)
        chip[i] = static_cast<uint8_t>(i * 13 + (i >> 12));
    for (uint16_t kb = 0; kb < 64; kb += 4)
        r.Reply(1, DataReply(std::span<const uint8_t>(chip).subspan(kb * 1024u, 4096)));
    EXPECT_TRUE(std::equal(chip.begin(), chip.end(), r.ctx().ReadBuffer.begin()));
    std::vector<Sent> want;
    for (uint16_t kb = 4; kb < 64; kb += 4)
        want.push_back({0x9B, kb});
    EXPECT_EQ(r.SentPackets[0], want);
    EXPECT_EQ(r.Lines()[0], DevLine(1, "Chip Memory Data Read out!"));
    EXPECT_EQ(r.Lines()[1], DevLine(1, "Operation Success!"));
    EXPECT_EQ(r.Op(1), OpIdle);
}

TEST(ReplyHandling, ReadChecksumsCoverWhatWasReadWhateverTheNextCommandSized) {
    ReplyRig r;
    r.ctx().MemoryImageFlag = 1;
    r.Start(1, OpReadChip, 8);
    std::vector<uint8_t> chip(8192);
    for (size_t i = 0; i < chip.size(); ++i)
        chip[i] = static_cast<uint8_t>(i * 29 + 5);
    r.Reply(1, DataReply(std::span<const uint8_t>(chip).subspan(0, 4096)));
    r.ctx().TransferKB = 4; // as a Program click on the other channels leaves it
    r.Reply(1, DataReply(std::span<const uint8_t>(chip).subspan(4096, 4096)));
    const std::string acc = Stamp() + Format("Read Data ACC CheckSum = 0x%0.4x", SumFrom(chip, 0, 8191, 0));
    EXPECT_NE(std::find(r.Lines().begin(), r.Lines().end(), acc), r.Lines().end());
}

TEST(ReplyHandling, ShortReplyIsNeverTakenAsChipData) {
    struct Case {
        uint8_t imageFlag;
        uint8_t code;
    };
    for (const Case &t : {Case{1, OpVerify}, Case{1, OpReadChip}, Case{0, OpReadChip}}) {
        SCOPED_TRACE(testing::Message() << "image " << int(t.imageFlag) << " code " << int(t.code));
        ReplyRig r;
        r.ctx().MemoryImageFlag = t.imageFlag;
        r.ctx().ChipFamily = 48;
        r.ctx().RecordCount = 4096;
        r.Start(1, t.code, 8);
        r.Reply(1, ReplyPacket(0xEE, std::vector<uint8_t>(100, 0x77))); // good check word, 100 data bytes
        EXPECT_EQ(r.Lines(), (std::vector<std::string>{DevLine(1, "Operation Failed!"),
                                                       DevLine(1, "Data packet Error!")}));
        EXPECT_EQ(r.ctx().ReadDataValid, 0);
        EXPECT_EQ(r.ctx().ReadBuffer[0], 0);
        EXPECT_TRUE(r.SentPackets[0].empty());
        EXPECT_EQ(r.Op(1), OpIdle);
    }
}
