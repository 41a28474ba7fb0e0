// The upgrade tool's protocol and handlers on the window model, without a
// port: replies are fed to the receive path, sent packets are read back from
// the transmit buffer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "UgReplies.h"
#include "forms/RecordingDialogs.h"
#include "fwupgrade/BlockScramble.h"
#include "fwupgrade/FirmWareUGForm.h"
#include "fwupgrade/FirmwareData.h"
#include "fwupgrade/UgHandlers.h"
#include "fwupgrade/UgProtocol.h"
#include "protocol/PortDiscovery.h"

namespace {

using namespace fwug;
using ugtest::BlockReply;
using ugtest::ProbeReply;
using ugtest::VerifyReply;
using ugtest::VerifyStatusReply;
using Kind = RecordingDialogs::Kind;

class UgProtocol : public ::testing::Test {
protected:
    UgProtocol() { Fresh(); }
    // The tool as it starts, with the values the window sets when first shown.
    void Fresh() {
        ctx = UgContext{};
        ctx.Form = &form;
        ctx.AboutForm = &about;
        ctx.Dialogs = &dialogs;
        // The values the window sets when first shown.
        ctx.ExpCheckSum1 = 0x10DB;
        ctx.ExpCheckSum2 = 0x4B5C;
        ctx.UgStartAddr = 0x2000;
        ctx.UgEndAddr = 0x4FFF;
    }
    void Feed(const std::vector<uint8_t> &bytes) {
        SPxComm1ReceiveData(ctx, bytes.data(), static_cast<uint16_t>(bytes.size()));
    }
    // The packet last encoded into the transmit buffer, decoded again.
    std::vector<uint8_t> SentPacket() {
        std::vector<uint8_t> rx(ctx.UgTxBuffer.begin(), ctx.UgTxBuffer.end());
        std::vector<uint8_t> pkt(kUgPacketSize);
        uint16_t len = 0, count = static_cast<uint16_t>(rx.size());
        EXPECT_EQ(DecodeFrame(rx, pkt, len, count), kFrameOk);
        pkt.resize(len);
        return pkt;
    }
    const std::string &LastLine() const { return form.InfoMemo.Lines.back(); }

    TFirmWareUG form;
    TAboutForm about;
    RecordingDialogs dialogs;
    UgContext ctx;
};

TEST_F(UgProtocol, DataBlockCarriesHeaderScrambledImageAndCheckWord) {
    for (uint16_t b : {0, 1, 5, 11}) {
        const uint16_t addr = static_cast<uint16_t>(0x2000 + 0x400 * b);
        ASSERT_TRUE(UgSendDataBlock(ctx, 0xB7, addr, 12));
        const auto p = SentPacket();
        ASSERT_EQ(p.size(), 2058u);
        EXPECT_EQ(p[0], 0xB7);
        EXPECT_EQ(GetU16(p, 1), addr);
        EXPECT_EQ(p[3], b);
        EXPECT_EQ(p[4], 12);
        EXPECT_EQ(p[5], 0x0F);
        EXPECT_EQ(GetU16(p, 6), 2048);
        EXPECT_EQ(GetU16(p, 2056), FrameChecksum(p, 0, 2055));
        std::vector<uint8_t> plain(2048);
        UnscrambleBlock(static_cast<uint8_t>(b), std::span<const uint8_t>(p).subspan(8, 2048), plain);
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), FirmwareImage.begin() + 2048 * b)) << b;
    }
    // Outside the image nothing is built or sent.
    EXPECT_FALSE(UgSendDataBlock(ctx, 0xB7, 0x5000, 12));
    EXPECT_FALSE(UgSendDataBlock(ctx, 0xB7, 0x1C00, 12));
}

TEST_F(UgProtocol, VerifyCommandLayout) {
    UgSendVerifyCmd(ctx, 0xBA, 0x4FFF);
    const std::vector<uint8_t> want = {0xBA, 0xFF, 0x4F, 0xF1, 0, 0, 0, 0};
    const auto p = SentPacket();
    ASSERT_EQ(p.size(), 10u);
    EXPECT_TRUE(std::equal(want.begin(), want.end(), p.begin()));
    EXPECT_EQ(GetU16(p, 8), FrameChecksum(p, 0, 7));
}

TEST_F(UgProtocol, ProbeFrameIsSentAsItStands) {
    UgSendHandshake(ctx);
    const std::vector<uint8_t> want = {0xC0, 0xA3, 0xA5, 0x35, 0xC0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(std::equal(want.begin(), want.end(), ctx.UgTxBuffer.begin()));
}

TEST_F(UgProtocol, ProbeReplyNamingTheDeviceEnablesTheButtons) {
    Feed(ProbeReply("Pelmor200VLT-V2"));
    EXPECT_EQ(ctx.DeviceFound, 1);
    EXPECT_EQ(ctx.UgState, UgIdle);
    EXPECT_TRUE(form.SpdBtnDownLoad.Enabled);
    EXPECT_TRUE(form.SpdBtnVerify.Enabled);
    EXPECT_EQ(form.DevLabel.Caption, "Pelmor200VLT-V2");
    EXPECT_EQ(LastLine(), "> Find Device : Pelmor200VLT-V2!");
    EXPECT_EQ(ctx.UgRxCount, 0);
}

TEST_F(UgProtocol, ProbeReplyWithAnotherNameIsIgnored) {
    for (const char *name : {"pelmor200vlt", "Pelmor200VL", "Other-Device"}) {
        Feed(ProbeReply(name));
        EXPECT_EQ(ctx.DeviceFound, 0) << name;
        EXPECT_FALSE(form.SpdBtnDownLoad.Enabled) << name;
        EXPECT_EQ(form.DevLabel.Caption, "设备......") << name;
        EXPECT_TRUE(form.InfoMemo.Lines.empty()) << name;
    }
}

// A reply split over two reads is still recognised, wherever it is cut.
TEST_F(UgProtocol, ReplySplitOverTwoReadsIsRecognised) {
    const auto frame = ProbeReply("Pelmor200VLT");
    for (size_t cut : {size_t{1}, size_t{5}, frame.size() / 2, frame.size() - 6}) {
        ctx.DeviceFound = 0;
        form.InfoMemo.Clear();
        Feed({frame.begin(), frame.begin() + static_cast<long>(cut)});
        EXPECT_EQ(ctx.DeviceFound, 0) << cut;
        Feed({frame.begin() + static_cast<long>(cut), frame.end()});
        EXPECT_EQ(ctx.DeviceFound, 1) << cut;
        ASSERT_EQ(form.InfoMemo.Lines.size(), 1u) << cut;
    }
}

// A search starts from a clean slate: the gauge of the last run is reset, and
// a fragment left in the receive buffer cannot pair with the probe reply's
// opening delimiter and swallow it.
TEST_F(UgProtocol, SearchResetsTheGaugeAndDropsABufferedFragment) {
    // One free port to list; the probe is not sent (no serial component).
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string port = ptsname(master);
    ctx.DeviceMap = [port] { return TSerialDeviceMap{{"\\Device\\VCP0", port}}; };
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    Feed(BlockReply(0, 0x2C));
    ASSERT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
    Feed({0xC0, 0xB7, 0x01}); // the start of a reply that never ends
    BitBtnFindClick(ctx);
    EXPECT_EQ(form.ProgressBar1.Progress(), 0);
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Blue);
    Feed(ProbeReply("Pelmor200VLT"));
    EXPECT_EQ(ctx.DeviceFound, 1);
    EXPECT_EQ(LastLine(), "> Find Device : Pelmor200VLT!");
    close(master);
}

TEST_F(UgProtocol, OverlongNoiseIsDroppedAndTheNextFrameStillRecognised) {
    const std::vector<uint8_t> noise(2048, 0x55);
    for (size_t sent = 0; sent < kUgRxBufferSize + 4096; sent += noise.size())
        Feed(noise);
    EXPECT_LE(ctx.UgRxCount, kUgRxBufferSize);
    Feed(ProbeReply("Pelmor200VLT"));
    EXPECT_EQ(ctx.DeviceFound, 1);
}

TEST_F(UgProtocol, UpgradeGaugeStartsAtTwoAndGainsTwoPerAcknowledgement) {
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    EXPECT_EQ(ctx.UgBlockCount, 12);
    EXPECT_EQ(ctx.UgState, UgUpgradeRunning);
    EXPECT_EQ(form.ProgressBar1.MaxValue(), 12);
    EXPECT_EQ(form.ProgressBar1.Progress(), 2);
    EXPECT_EQ(SentPacket()[3], 0);
    for (int ack = 1; ack <= 11; ++ack) {
        Feed(BlockReply(ack - 1, ack % 2 ? 0x00 : 0x06)); // 6 counts as success
        EXPECT_EQ(form.ProgressBar1.Progress(), std::min(2 + 2 * ack, 12)) << ack;
        EXPECT_EQ(ctx.UgCurAddr, 0x2000 + 0x400 * ack) << ack;
        EXPECT_EQ(SentPacket()[3], ack) << ack;
        EXPECT_EQ(ctx.UgState, UgUpgradeRunning) << ack;
    }
    EXPECT_TRUE(dialogs.Calls.empty());
    Feed(BlockReply(11, 0));
    EXPECT_EQ(ctx.UgState, UgIdle);
    EXPECT_EQ(form.ProgressBar1.Progress(), 12);
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Blue);
    const std::vector<RecordingDialogs::Call> want = {{Kind::Beep, ""}, {Kind::Information, "操作成功！"}};
    EXPECT_EQ(dialogs.Calls, want);
    EXPECT_EQ(LastLine(), "> 操作成功！");
}

TEST_F(UgProtocol, VerifyComparesFourWordsWithTheExpectedChecksums) {
    struct Case {
        uint16_t w8, w10, w24, w26;
        const char *text;
    };
    const Case cases[] = {
        {0x4B5C, 0x10DB, 0x10DB, 0x4B5C, "操作成功！"},
        {0x4B5D, 0x10DB, 0x10DB, 0x4B5C, "总数据校验和不一致！"},
        {0x4B5C, 0x10DA, 0x10DB, 0x4B5C, "总数据校验和不一致！"},
        {0x4B5C, 0x10DB, 0x00DB, 0x4B5C, "总数据校验和不一致！"},
        {0x4B5C, 0x10DB, 0x10DB, 0xCB5C, "总数据校验和不一致！"},
        {0x10DB, 0x4B5C, 0x4B5C, 0x10DB, "总数据校验和不一致！"},
    };
    ctx.DeviceFound = 1;
    for (const auto &c : cases) {
        dialogs.Calls.clear();
        UgStartVerify(ctx);
        EXPECT_EQ(form.ProgressBar1.Progress(), 10);
        EXPECT_EQ(form.ProgressBar1.MaxValue(), 100);
        Feed(VerifyReply(c.w8, c.w10, c.w24, c.w26));
        const bool ok = std::string(c.text) == "操作成功！";
        EXPECT_EQ(dialogs.Texts(ok ? Kind::Information : Kind::Error), std::vector<std::string>{c.text});
        EXPECT_EQ(dialogs.Texts(Kind::Beep).size(), ok ? 1u : 0u);
        EXPECT_EQ(LastLine(), std::string("> ") + c.text);
        EXPECT_EQ(form.ProgressBar1.Progress(), 100);
        EXPECT_EQ(form.ProgressBar1.ForeColor, ok ? TColor::Blue : TColor::Red);
        EXPECT_EQ(ctx.UgState, UgIdle);
    }
}

// A status-only reply to 0xBA carries no checksum words; the words left in the
// packet area by an earlier good reply must not make it pass.
TEST_F(UgProtocol, VerifyReplyWithoutWordsFails) {
    ctx.DeviceFound = 1;
    UgStartVerify(ctx);
    Feed(VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C));
    dialogs.Calls.clear();
    UgStartVerify(ctx);
    Feed(VerifyStatusReply(0x06));
    EXPECT_EQ(dialogs.Texts(Kind::Error), std::vector<std::string>{"总数据校验和不一致！"});
}

TEST_F(UgProtocol, DamagedReplyEndsTheUpgradeWithItsStatus) {
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    auto reply = BlockReply(0, 0);
    reply[9] ^= 0x01; // payload byte: the check word no longer matches
    Feed(reply);
    EXPECT_EQ(dialogs.Texts(Kind::Error), std::vector<std::string>{"数据包校验和不正确！"});
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
    EXPECT_EQ(form.ProgressBar1.Progress(), 12);
    EXPECT_EQ(ctx.UgState, UgIdle);
}

TEST_F(UgProtocol, ReplyWhileIdleIsDropped) {
    ctx.DeviceFound = 1;
    Feed(BlockReply(0, 0));
    Feed(BlockReply(0, 0x2C));
    Feed(VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C));
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_TRUE(form.InfoMemo.Lines.empty());
}

TEST_F(UgProtocol, UndecodableFrameIsIgnored) {
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    Feed({0xC0, 0xB7, 0xDB, 0x41, 0xC0}); // bad escape
    Feed({0xC0, 0xB7, 0x00, 0xC0});       // shorter than a header
    Feed({0xC0, 0xC0});                   // a doubled delimiter, nothing closed yet
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_EQ(ctx.UgState, UgUpgradeRunning);
    EXPECT_EQ(form.ProgressBar1.Progress(), 2);
}

TEST_F(UgProtocol, ClearingThePanelDoesNotDisturbARunningUpgrade) {
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    Feed(BlockReply(0, 0));
    ClearInfo1Click(ctx);
    EXPECT_TRUE(form.InfoMemo.Lines.empty());
    Feed(BlockReply(1, 0));
    EXPECT_EQ(ctx.UgCurAddr, 0x2800);
    EXPECT_EQ(form.ProgressBar1.Progress(), 6);
    EXPECT_EQ(SentPacket()[3], 2);
}

// Idle, a hang-up forgets the device without a message; under an upgrade or
// a verify it ends the operation as a failure the operator sees.
TEST_F(UgProtocol, HangUpForgetsTheDeviceAndFailsARunningOperation) {
    struct Case {
        void (*start)(UgContext &);
        int gaugeMax;
    };
    for (const Case c : {Case{nullptr, 0}, Case{UgStartUpgrade, 12}, Case{UgStartVerify, 100}}) {
        form.ComboBoxCOM.ClearItems();
        form.ComboBoxCOM.AddItem("ttyUSB1");
        form.ComboBoxCOM.AddItem("ttyUSB0");
        form.InfoMemo.Clear();
        dialogs.Calls.clear();
        Feed(ProbeReply("Pelmor200VLT"));
        ASSERT_EQ(ctx.DeviceFound, 1);
        form.InfoMemo.Clear();
        if (c.start)
            c.start(ctx);
        SPxComm1RequestHangup(ctx);
        EXPECT_EQ(form.ComboBoxCOM.Items, std::vector<std::string>{"ttyUSB1"});
        EXPECT_EQ(ctx.DeviceFound, 0);
        EXPECT_FALSE(form.SpdBtnDownLoad.Enabled);
        EXPECT_FALSE(form.SpdBtnVerify.Enabled);
        EXPECT_EQ(form.DevLabel.Caption, "设备......");
        EXPECT_EQ(ctx.UgState, UgIdle);
        EXPECT_FALSE(form.Timer1.Enabled);
        if (!c.start) {
            EXPECT_TRUE(dialogs.Calls.empty());
            EXPECT_TRUE(form.InfoMemo.Lines.empty());
            continue;
        }
        EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "通讯设备已断开！"}}));
        EXPECT_EQ(form.InfoMemo.Lines, std::vector<std::string>{"> 通讯设备已断开！"});
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
        EXPECT_EQ(form.ProgressBar1.Progress(), c.gaugeMax);
    }
    SPxComm1RequestHangup(ctx);
    SPxComm1RequestHangup(ctx);
    EXPECT_TRUE(form.ComboBoxCOM.Items.empty());
}

// Each request has 10 s (500 ticks) for its reply, counted from when it goes out.
TEST_F(UgProtocol, EveryReplyHasTenSecondsOfTimerTicks) {
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    for (int ack = 1; ack <= 3; ++ack) {
        for (int tick = 1; tick < UgReplyTimeoutTicks; ++tick)
            Timer1Timer(ctx);
        ASSERT_EQ(ctx.UgState, UgUpgradeRunning) << ack;
        Feed(BlockReply(ack - 1, 0));
        ASSERT_EQ(SentPacket()[3], ack);
    }
    EXPECT_TRUE(dialogs.Calls.empty());
    for (int tick = 1; tick < UgReplyTimeoutTicks; ++tick)
        Timer1Timer(ctx);
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_TRUE(form.Timer1.Enabled);
    Timer1Timer(ctx);
    EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "命令执行超时"}}));
    EXPECT_EQ(form.InfoMemo.Lines, std::vector<std::string>{"> 命令执行超时"});
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
    EXPECT_EQ(form.ProgressBar1.Progress(), 12);
    EXPECT_EQ(ctx.UgState, UgIdle);
    EXPECT_FALSE(form.Timer1.Enabled);
    // A late reply after the time-out moves nothing on.
    Feed(BlockReply(3, 0));
    EXPECT_EQ(ctx.UgCurAddr, 0x2C00);
    EXPECT_EQ(dialogs.Calls.size(), 1u);
}

// Once a request is given up on, its late answer may still come, and it may
// name the very request the next operation sends first (block 0 twice, a
// verify twice). So the next operation sends the probe first: the programmer
// answers in order, and what comes before the probe's answer is dropped.
TEST_F(UgProtocol, AnOperationAfterARequestGivenUpOnIsJudgedByItsOwnAnswersOnly) {
    const auto good = ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C);
    const auto bad = ugtest::VerifyReply(0x4B5D, 0x10DB, 0x10DB, 0x4B5C);
    const RecordingDialogs::Call timeout{Kind::Error, "命令执行超时"};
    const RecordingDialogs::Call failed{Kind::Error, "编程过程出错，数据无法写入！"};
    const RecordingDialogs::Call mismatch{Kind::Error, "总数据校验和不一致！"};
    struct Case {
        const char *name;
        void (*first)(UgContext &);
        unsigned acked; // blocks of the first upgrade acknowledged before it is given up on
        void (*next)(UgContext &);
        std::vector<std::vector<uint8_t>> late; // before the probe's answer
        std::vector<std::vector<uint8_t>> own;  // the next operation's answers
        std::vector<RecordingDialogs::Call> want;
    };
    std::vector<std::vector<uint8_t>> allBlocks;
    for (unsigned b = 0; b < 12; ++b)
        allBlocks.push_back(BlockReply(b, 0));
    auto blocksThen = [&](unsigned okBlocks, std::vector<uint8_t> last) {
        std::vector<std::vector<uint8_t>> v(allBlocks.begin(), allBlocks.begin() + okBlocks);
        if (!last.empty())
            v.push_back(std::move(last));
        return v;
    };
    const Case cases[] = {
        {"block 4, then block 11 unanswered",
         UgStartUpgrade,
         4,
         UgStartUpgrade,
         {BlockReply(4, 0), BlockReply(4, 0x2C), BlockReply(1, 0), good},
         blocksThen(11, {}),
         {timeout, timeout}},
        {"block 4, then block 11 fails",
         UgStartUpgrade,
         4,
         UgStartUpgrade,
         {BlockReply(4, 0)},
         blocksThen(11, BlockReply(11, 0x2C)),
         {timeout, failed}},
        {"block 0, then block 0 fails",
         UgStartUpgrade,
         0,
         UgStartUpgrade,
         {BlockReply(0, 0)},
         {BlockReply(0, 0x2C)},
         {timeout, failed}},
        {"block 0, then the whole upgrade",
         UgStartUpgrade,
         0,
         UgStartUpgrade,
         {BlockReply(0, 0x2C)},
         blocksThen(12, {}),
         {timeout, {Kind::Beep, ""}, {Kind::Information, "操作成功！"}}},
        {"block 4, then a verify unanswered",
         UgStartUpgrade,
         4,
         UgStartVerify,
         {BlockReply(4, 0)},
         {},
         {timeout, timeout}},
        {"a verify, then a verify that differs",
         UgStartVerify,
         0,
         UgStartVerify,
         {good},
         {bad},
         {timeout, mismatch}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Fresh(); // the probe of the case before is never answered
        dialogs.Calls.clear();
        ctx.DeviceFound = 1;
        c.first(ctx);
        for (unsigned b = 0; b < c.acked; ++b)
            Feed(BlockReply(b, 0));
        for (int tick = 0; tick < UgReplyTimeoutTicks; ++tick)
            Timer1Timer(ctx);
        ASSERT_EQ(dialogs.Calls, std::vector<RecordingDialogs::Call>{timeout});
        c.next(ctx);
        EXPECT_TRUE(std::equal(kProbeFrame.begin(), kProbeFrame.end(), ctx.UgTxBuffer.begin()))
            << "the probe first";
        for (const auto &late : c.late)
            Feed(late);
        ASSERT_EQ(dialogs.Calls.size(), 1u);
        ASSERT_NE(ctx.UgState, UgIdle);
        // The probe's answer, and the next operation's first request goes out;
        // a late answer in the same read as the probe's does not cost it.
        auto answer = c.late.front();
        const auto probe = ProbeReply("Pelmor200VLT");
        answer.insert(answer.end(), probe.begin(), probe.end());
        Feed(answer);
        const auto sent = SentPacket();
        EXPECT_EQ(sent[0], c.next == UgStartUpgrade ? 0xB7 : 0xBA);
        for (size_t i = 0; i < c.own.size(); ++i) {
            Feed(c.own[i]);
            Feed(c.own[i]); // answered twice: the second names no request outstanding
        }
        for (int tick = 0; tick < UgReplyTimeoutTicks; ++tick)
            Timer1Timer(ctx);
        EXPECT_EQ(dialogs.Calls, c.want);
        EXPECT_EQ(ctx.UgState, UgIdle);
    }
}

// A reply counts only when its command and its address both name the
// request outstanding.
TEST_F(UgProtocol, AReplyMustNameBothTheCommandAndTheAddressOutstanding) {
    using ugtest::StatusReply;
    ctx.DeviceFound = 1;
    UgStartUpgrade(ctx);
    Feed(StatusReply(0xBA, 0x2000, 0x2C)); // the verify's command, block 0's address
    Feed(StatusReply(0xB7, 0x2400, 0x2C)); // block 1, not outstanding
    Feed(StatusReply(0xB7, 0x4FFF, 0x2C));
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_EQ(ctx.UgCurAddr, 0x2000);
    Feed(StatusReply(0xB7, 0x2000, 0));
    EXPECT_EQ(ctx.UgCurAddr, 0x2400);
    Feed(StatusReply(0xB7, 0x2400, 0x2C)); // ends it

    UgStartVerify(ctx);
    dialogs.Calls.clear();
    Feed(StatusReply(0xB7, 0x4FFF, 0x2C)); // a block's command, the verify's address
    Feed(
        ugtest::Reply(0xBA, 0x4C00, std::vector<uint8_t>(20, 0x11))); // the verify's command, another address
    EXPECT_TRUE(dialogs.Calls.empty());
    EXPECT_EQ(ctx.UgState, UgVerifyRunning);
    Feed(ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C));
    EXPECT_EQ(dialogs.Texts(Kind::Information), std::vector<std::string>{"操作成功！"});
}

// Damage that cannot be told apart from a damaged answer fails the operation;
// damage in what follows a frame that was not taken (its trailer and noise)
// does not, and neither does anything while no operation runs.
TEST_F(UgProtocol, DamageFailsTheOperationOnlyWhereItCanBeTheAnswer) {
    auto damaged = BlockReply(3, 0); // names another block: a late answer, damaged
    damaged[9] ^= 0x01;
    ctx.DeviceFound = 1;
    Feed(damaged); // idle
    EXPECT_TRUE(dialogs.Calls.empty());
    // A stale answer, its trailer, then noise up to the real answer.
    auto stream = BlockReply(7, 0);
    for (uint8_t b : {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC})
        stream.push_back(b);
    const auto real = BlockReply(0, 0);
    stream.insert(stream.end(), real.begin(), real.end());
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        Fresh();
        ctx.DeviceFound = 1;
        UgStartUpgrade(ctx);
        Feed({stream.begin(), stream.begin() + static_cast<long>(cut)});
        Feed({stream.begin() + static_cast<long>(cut), stream.end()});
        ASSERT_TRUE(dialogs.Calls.empty());
        ASSERT_EQ(ctx.UgCurAddr, 0x2400);
    }
    Feed(damaged);
    EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "数据包校验和不正确！"}}));
}

// A new operation does not join a fragment left from before with its first
// answer, and a fragment whose start was dropped does not swallow the answer
// that follows it.
TEST_F(UgProtocol, FragmentsOfEarlierAnswersCostNoAnswer) {
    ctx.DeviceFound = 1;
    const auto first = BlockReply(0, 0);
    Feed({first.begin(), first.begin() + 6}); // the start of an answer that never ends
    UgStartUpgrade(ctx);
    Feed(first);
    EXPECT_EQ(ctx.UgCurAddr, 0x2400);
    EXPECT_TRUE(dialogs.Calls.empty());
    // The tail of an answer, then the real one.
    auto tail = std::vector<uint8_t>(first.begin() + 4, first.end());
    const auto second = BlockReply(1, 0);
    tail.insert(tail.end(), second.begin(), second.end());
    Feed(tail);
    EXPECT_EQ(ctx.UgCurAddr, 0x2800);
    EXPECT_TRUE(dialogs.Calls.empty());
}

// The box that ends an operation runs its own event loop: ticks and replies
// that come while it is open find no operation to end a second time or to
// move on.
TEST_F(UgProtocol, ABoxThatEndsAnOperationSeesNoOperationWhileOpen) {
    struct Case {
        const char *name;
        void (*end)(UgContext &);
        const char *text;
    };
    auto lastTicks = [](UgContext &c) {
        while (c.UgState != UgIdle)
            Timer1Timer(c);
    };
    for (const Case c : {Case{"hang-up", SPxComm1RequestHangup, "通讯设备已断开！"},
                         Case{"time-out", lastTicks, "命令执行超时"}}) {
        SCOPED_TRACE(c.name);
        dialogs.Calls.clear();
        form.InfoMemo.Clear();
        ctx.DeviceFound = 1;
        UgStartUpgrade(ctx);
        Feed(BlockReply(0, 0));
        ctx.UgTimeout = 2; // the last ticks of the 10 s
        size_t seenOpen = 0;
        dialogs.WhileOpen = [&](const RecordingDialogs::Call &) {
            if (seenOpen++ > 0)
                return;
            EXPECT_EQ(ctx.UgState, UgIdle);
            EXPECT_FALSE(form.Timer1.Enabled);
            for (int tick = 0; tick < 5; ++tick)
                Timer1Timer(ctx);
            Feed(BlockReply(1, 0));
            Feed(BlockReply(1, 0x2C));
        };
        c.end(ctx);
        dialogs.WhileOpen = nullptr;
        EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, c.text}}));
        EXPECT_EQ(form.InfoMemo.Lines, std::vector<std::string>{std::string("> ") + c.text});
        EXPECT_EQ(ctx.UgCurAddr, 0x2400);
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
    }
}

// A finished operation and one a new search replaced leave no time-out behind.
TEST_F(UgProtocol, NoTimeOutAfterTheOperationEndsOrASearchReplacesIt) {
    ctx.DeviceMap = [] { return TSerialDeviceMap{}; };
    ctx.DeviceFound = 1;
    UgStartVerify(ctx);
    Feed(VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C));
    EXPECT_FALSE(form.Timer1.Enabled);
    for (auto search : {BitBtnFindClick, BitBtnFreshClick}) {
        UgStartUpgrade(ctx);
        EXPECT_TRUE(form.Timer1.Enabled);
        search(ctx);
        EXPECT_FALSE(form.Timer1.Enabled);
        EXPECT_EQ(ctx.UgState, UgIdle);
    }
    dialogs.Calls.clear();
    for (int tick = 0; tick < 2 * UgReplyTimeoutTicks; ++tick)
        Timer1Timer(ctx);
    EXPECT_TRUE(dialogs.Calls.empty());
}

TEST_F(UgProtocol, AboutBoxIsShownModally) {
    About1Click(ctx);
    EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::ShowModal, "About"}}));
}

TEST_F(UgProtocol, ChoosingAPortKeepsItsText) {
    form.ComboBoxCOM.AddItem("ttyUSB0");
    form.ComboBoxCOM.AddItem("ttyUSB1");
    form.ComboBoxCOM.ItemIndex = 1;
    ComboBoxCOMChange(ctx);
    EXPECT_EQ(form.ComboBoxCOM.Text, "ttyUSB1");
}

} // namespace
