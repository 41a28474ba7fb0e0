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

namespace {

using namespace fwug;
using ugtest::BlockReply;
using ugtest::ProbeReply;
using ugtest::VerifyReply;
using ugtest::VerifyStatusReply;
using Kind = RecordingDialogs::Kind;

class UgProtocol : public ::testing::Test {
protected:
    UgProtocol() {
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
    ctx.UgState = UgUpgradeRunning;
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

// Once a request is given up on, its late answer (or that of any request but
// the one outstanding) moves nothing on: the upgrade that follows is judged
// by its own replies only.
TEST_F(UgProtocol, ALateReplyIsNeverTakenForTheAnswerOfAnotherRequest) {
    struct Case {
        const char *name;
        void (*start)(UgContext &);
        std::vector<uint8_t> lastReply; // empty: the last request is never answered
        std::vector<RecordingDialogs::Call> want;
    };
    const RecordingDialogs::Call timeout{Kind::Error, "命令执行超时"};
    const Case cases[] = {
        {"upgrade, block 11 unanswered", UgStartUpgrade, {}, {timeout, timeout}},
        {"upgrade, block 11 fails",
         UgStartUpgrade,
         BlockReply(11, 0x2C),
         {timeout, {Kind::Error, "编程过程出错，数据无法写入！"}}},
        {"verify, unanswered", UgStartVerify, {}, {timeout, timeout}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.Calls.clear();
        ctx.DeviceFound = 1;
        UgStartUpgrade(ctx);
        for (unsigned b = 0; b < 4; ++b)
            Feed(BlockReply(b, 0));
        for (int tick = 0; tick < UgReplyTimeoutTicks; ++tick)
            Timer1Timer(ctx); // block 4 is given up on
        ASSERT_EQ(ctx.UgState, UgIdle);
        c.start(ctx);
        // Late answers: block 4's, and ones naming other requests.
        for (const auto &late : {BlockReply(4, 0), BlockReply(4, 0x2C), BlockReply(1, 0),
                                 ugtest::VerifyReply(0x4B5C, 0x10DB, 0x10DB, 0x4B5C)}) {
            if (c.start == UgStartVerify && late[1] == 0xBA)
                continue; // the verify's own answer
            Feed(late);
        }
        ASSERT_EQ(dialogs.Calls.size(), 1u);
        ASSERT_NE(ctx.UgState, UgIdle);
        if (c.start == UgStartUpgrade) {
            EXPECT_EQ(SentPacket()[3], 0) << "nothing acknowledged yet";
            // A late answer in the same block as the real one does not cost it.
            auto both = BlockReply(4, 0);
            const auto first = BlockReply(0, 0);
            both.insert(both.end(), first.begin(), first.end());
            Feed(both);
            for (unsigned b = 1; b < 11; ++b) {
                Feed(BlockReply(b - 1, 0)); // a repeated answer acknowledges no more
                Feed(BlockReply(b, 0));
            }
            EXPECT_EQ(SentPacket()[3], 11);
            EXPECT_EQ(ctx.UgCurAddr, 0x4C00);
        }
        if (!c.lastReply.empty())
            Feed(c.lastReply);
        for (int tick = 0; tick < UgReplyTimeoutTicks; ++tick)
            Timer1Timer(ctx);
        EXPECT_EQ(dialogs.Calls, c.want);
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
        EXPECT_EQ(ctx.UgState, UgIdle);
    }
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
