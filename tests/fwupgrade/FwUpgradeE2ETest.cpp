// The upgrade tool end to end: the program object with its real TComm on the
// pseudo-terminal of a simulated programmer, driven by its handlers.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>

#include "forms/RecordingDialogs.h"
#include "fwupgrade/FirmwareData.h"
#include "fwupgrade/FwUpgradeProgram.h"
#include "fwupgrade/UgHandlers.h"
#include "fwupgrade/UgProtocol.h"
#include "platform/EventQueue.h"
#include "serial/Comm.h"
#include "tools/devsim/SimDevice.h"

namespace {

using namespace fwug;
using namespace std::chrono_literals;
using Kind = RecordingDialogs::Kind;

class FwUpgradeE2E : public ::testing::Test {
protected:
    // Starts the tool with the given devices listed in this order.
    void Start(std::vector<TSimDevice *> devices) {
        listed = std::move(devices);
        UgContext &ctx = program.Context();
        // Read at each search: a test may plug another device in.
        ctx.DeviceMap = [this] {
            TSerialDeviceMap map;
            for (size_t i = 0; i < listed.size(); ++i)
                map.push_back({"\\Device\\VCP" + std::to_string(i), listed[i]->PortPath()});
            return map;
        };
        ctx.Pause = [](unsigned) {};
        // Gauge position each time the upgrade moves on to the next block.
        auto receive = program.Comm().OnReceiveData;
        program.Comm().OnReceiveData = [this, receive](TComm &c, const uint8_t *b, uint16_t n) {
            const uint16_t addr = program.Context().UgCurAddr;
            received += n;
            if (beforeReceive)
                beforeReceive();
            receive(c, b, n);
            if (program.Context().UgCurAddr != addr)
                gaugeAtAck.push_back(form.ProgressBar1.Progress());
        };
        program.Show();
    }
    void StartAndFind() {
        Start({&device});
        ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
    }
    bool Pump(const std::function<bool()> &done) { return queue.PumpUntil(done, 10000ms); }
    // Runs the operation until its result message is shown.
    bool RunUntilResult(const std::function<void()> &start) {
        const size_t before = form.InfoMemo.Lines.size();
        dialogs.Calls.clear();
        start();
        return Pump([&] {
            return program.Context().UgState == UgIdle && form.InfoMemo.Lines.size() > before &&
                   !dialogs.Calls.empty();
        });
    }
    std::vector<TSimPacket> Packets(uint8_t cmd) const {
        std::vector<TSimPacket> out;
        for (const auto &p : device.ReceivedPackets())
            if (p.Command() == cmd)
                out.push_back(p);
        return out;
    }
    void Upgrade() {
        ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnDownLoad.Click(); }));
        ASSERT_EQ(dialogs.Texts(Kind::Information), std::vector<std::string>{"操作成功！"});
    }
    std::string LastLine() const { return form.InfoMemo.Lines.back(); }
    void Ticks(int n) {
        for (int tick = 0; tick < n; ++tick)
            program.Tick();
    }
    // Runs `arm` once, just before the reply that acknowledges block `block`
    // is handled, so that it arms a fault for the next block's reply.
    void BeforeAckOf(unsigned block, std::function<void()> arm) {
        beforeReceive = [this, block, arm = std::move(arm), armed = false]() mutable {
            if (!armed && program.Context().UgState == UgUpgradeRunning &&
                program.Context().UgCurAddr == 0x2000 + 0x400 * block) {
                armed = true;
                arm();
            }
        };
    }
    // The programmer takes longer than 10 s over a request (block `block` of
    // an upgrade, or a verify): the tool gives up on it, and the answer goes
    // out only then, unread by the tool as yet.
    void GiveUpOnARequestAndLetItsAnswerCome(std::optional<unsigned> block) {
        dialogs.Calls.clear();
        if (!block) {
            device.InjectHold();
            form.SpdBtnVerify.Click();
        } else if (*block == 0) {
            device.InjectHold();
            form.SpdBtnDownLoad.Click();
        } else {
            BeforeAckOf(*block - 1, [this] { device.InjectHold(); });
            form.SpdBtnDownLoad.Click();
        }
        ASSERT_TRUE(Pump([&] { return device.HoldsReply(); }));
        beforeReceive = nullptr;
        Ticks(UgReplyTimeoutTicks);
        ASSERT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "命令执行超时"}}));
        device.ReleaseHeld();
        ASSERT_TRUE(device.WaitFor([](const TSimDevice &d) { return !d.Sending(); }));
        lateAnswerEnds = device.Counters().BytesOut;
    }
    // Runs events until the tool has taken the late answer from its port.
    bool PumpPastTheLateAnswer() {
        return Pump([&] { return received >= lateAnswerEnds; });
    }

    TSimDevice device;
    std::vector<TSimDevice *> listed;
    std::function<void()> beforeReceive;
    uint64_t received = 0;       // bytes the tool's port delivered
    uint64_t lateAnswerEnds = 0; // received counts this far once the late answer is in
    TPumpQueue queue;
    RecordingDialogs dialogs;
    TFwUpgradeProgram program{queue, dialogs};
    TFirmWareUG &form = program.Form();
    std::vector<int> gaugeAtAck;
};

TEST_F(FwUpgradeE2E, FirstShowFindsTheDevice) {
    StartAndFind();
    const std::vector<std::string> want = {
        " *        Modify/Add Vt7100 Chips Support             *",
        " *----------------------------------------------------*",
        " * Add Option to Enable Prog Generic for FUSE Bank 2  *",
        " *                                                    *",
        " *           更新区 CheckSum 1 = 0x10DB               *",
        " *           更新区 CheckSum 2 = 0x4B5C               *",
        " *----------------------------------------------------*",
        "",
        "> Checking Device In " + device.PortPath() + "............",
        "> Find Device : " + device.DeviceName() + "!",
    };
    EXPECT_EQ(form.InfoMemo.Lines, want);
    EXPECT_EQ(form.Caption, "Pelmor200VLT Firmware Upgrade Wizard - RV3");
    EXPECT_EQ(form.DevLabel.Caption, device.DeviceName());
    EXPECT_TRUE(form.SpdBtnDownLoad.Enabled);
    EXPECT_TRUE(form.SpdBtnVerify.Enabled);
    EXPECT_EQ(device.Counters().Probes, 1u);
    const TComm &comm = program.Comm();
    EXPECT_EQ(comm.CommName(), device.PortPath());
    EXPECT_EQ(comm.BaudRate(), 1000000u);
    EXPECT_EQ(comm.StopBits(), TStopBits::_2);
    EXPECT_EQ(comm.ReadIntervalTimeout(), 3u);
}

TEST_F(FwUpgradeE2E, UpgradeWritesTwelveBlocksAndReportsSuccess) {
    StartAndFind();
    form.SpdBtnDownLoad.Click();
    EXPECT_EQ(form.ProgressBar1.Progress(), 2);
    EXPECT_EQ(form.ProgressBar1.MaxValue(), 12);
    ASSERT_TRUE(Pump([&] { return !dialogs.Calls.empty(); }));

    const auto blocks = Packets(0xB7);
    ASSERT_EQ(blocks.size(), 12u);
    for (size_t b = 0; b < blocks.size(); ++b) {
        EXPECT_EQ(blocks[b].Param(), 0x2000 + 0x400 * b) << b;
        EXPECT_EQ(blocks[b].Bytes[3], b) << b;
        EXPECT_EQ(blocks[b].Bytes[4], 12) << b;
        const auto stored = device.FirmwareBlock(b);
        ASSERT_EQ(stored.size(), kFirmwareBlockSize) << b;
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), FirmwareImage.begin() + b * kFirmwareBlockSize))
            << b;
    }
    EXPECT_EQ(gaugeAtAck, (std::vector<int>{4, 6, 8, 10, 12, 12, 12, 12, 12, 12, 12, 12}));
    const std::vector<RecordingDialogs::Call> want = {{Kind::Beep, ""}, {Kind::Information, "操作成功！"}};
    EXPECT_EQ(dialogs.Calls, want);
    EXPECT_EQ(LastLine(), "> 操作成功！");
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Blue);
    EXPECT_EQ(form.ProgressBar1.Progress(), 12);
    EXPECT_EQ(program.Context().UgState, UgIdle);
}

TEST_F(FwUpgradeE2E, VerifyAfterUpgradeSucceedsAndOneDifferentWordFails) {
    StartAndFind();
    Upgrade();
    ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnVerify.Click(); }));
    EXPECT_EQ(dialogs.Texts(Kind::Information), std::vector<std::string>{"操作成功！"});
    EXPECT_EQ(dialogs.Texts(Kind::Beep).size(), 1u);

    struct Case {
        uint16_t w8, w10, w24, w26;
    };
    for (const Case c : {Case{0x4B5D, 0x10DB, 0x10DB, 0x4B5C}, Case{0x4B5C, 0x10DC, 0x10DB, 0x4B5C},
                         Case{0x4B5C, 0x10DB, 0x10DA, 0x4B5C}, Case{0x4B5C, 0x10DB, 0x10DB, 0x4B5B}}) {
        device.InjectVerifyWords(c.w8, c.w10, c.w24, c.w26);
        ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnVerify.Click(); }));
        EXPECT_EQ(dialogs.Calls,
                  (std::vector<RecordingDialogs::Call>{{Kind::Error, "总数据校验和不一致！"}}));
        EXPECT_EQ(LastLine(), "> 总数据校验和不一致！");
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
        EXPECT_EQ(form.ProgressBar1.Progress(), 100);
    }
    EXPECT_EQ(Packets(0xBA).size(), 5u);
    EXPECT_EQ(Packets(0xBA)[0].Param(), 0x4FFF);
}

TEST_F(FwUpgradeE2E, VerifyWithoutUpgradeFails) {
    StartAndFind();
    ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnVerify.Click(); }));
    EXPECT_EQ(dialogs.Texts(Kind::Error), std::vector<std::string>{"总数据校验和不一致！"});
}

TEST_F(FwUpgradeE2E, BlockReplyWithStatusSixCountsAsSuccess) {
    StartAndFind();
    device.InjectStatus(0x06);
    Upgrade();
    EXPECT_EQ(Packets(0xB7).size(), 12u);
    EXPECT_EQ(gaugeAtAck.size(), 12u);
}

TEST_F(FwUpgradeE2E, DeviceStatusEndsTheUpgradeWithItsMessage) {
    StartAndFind();
    struct Case {
        uint8_t status;
        const char *text;
    };
    const Case cases[] = {
        {0x23, "数据包校验和不正确！"}, {0x25, "命令不正确或不认识"},
        {0x2A, "数据包格式不对！"},     {0x2C, "编程过程出错，数据无法写入！"},
        {0x31, "编程时内部校验不对！"}, {0x34, "总数据校验和不一致！"},
        {0x40, "命令执行超时"},         {0x20, "操作失败！"}, // not in the table
        {0x01, "操作失败！"},           {0xFF, "操作失败！"},
    };
    for (const auto &c : cases) {
        const size_t sent = Packets(0xB7).size();
        device.InjectStatus(c.status);
        ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnDownLoad.Click(); })) << int(c.status);
        EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, c.text}}))
            << int(c.status);
        EXPECT_EQ(LastLine(), std::string("> ") + c.text);
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
        EXPECT_EQ(form.ProgressBar1.Progress(), 12);
        EXPECT_EQ(Packets(0xB7).size(), sent + 1) << "no block after a failure";
    }
    // The device is still usable: a whole upgrade goes through afterwards.
    Upgrade();
}

TEST_F(FwUpgradeE2E, DamagedBlockReplyIsReportedAsBadCheckWord) {
    StartAndFind();
    device.InjectBadCheckWord();
    ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnDownLoad.Click(); }));
    EXPECT_EQ(dialogs.Texts(Kind::Error), std::vector<std::string>{"数据包校验和不正确！"});
}

TEST_F(FwUpgradeE2E, SplitRepliesAreRecognised) {
    device.InjectSplit(7, 20ms); // the probe reply
    StartAndFind();
    EXPECT_EQ(LastLine(), "> Find Device : " + device.DeviceName() + "!");
    device.InjectSplit(3, 20ms); // the first block's acknowledgement
    Upgrade();
    EXPECT_EQ(Packets(0xB7).size(), 12u);
}

TEST_F(FwUpgradeE2E, OnlyTheFirstPortOfTheSortedListIsProbed) {
    TSimDevice second, third;
    std::vector<TSimDevice *> all = {&device, &second, &third};
    auto byPort = [](TSimDevice *a, TSimDevice *b) { return a->PortPath() < b->PortPath(); };
    TSimDevice *first = *std::min_element(all.begin(), all.end(), byPort);
    std::sort(all.begin(), all.end(), byPort);
    Start({all[2], all[0], all[1]}); // listed out of order
    ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
    EXPECT_EQ(form.ComboBoxCOM.Items,
              (std::vector<std::string>{all[0]->PortPath(), all[1]->PortPath(), all[2]->PortPath()}));
    EXPECT_EQ(program.Comm().CommName(), first->PortPath());

    // Choosing another entry changes nothing: a new search probes the first again.
    form.ComboBoxCOM.ItemIndex = 2;
    ComboBoxCOMChange(program.Context());
    EXPECT_EQ(form.ComboBoxCOM.Text, all[2]->PortPath());
    form.BitBtnFind.Click();
    ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
    EXPECT_EQ(first->Counters().Probes, 2u);
    for (TSimDevice *d : all) {
        if (d != first) {
            EXPECT_EQ(d->Counters().Probes, 0u) << d->PortPath();
        }
    }
}

TEST_F(FwUpgradeE2E, RefreshForgetsTheDeviceAndProbesNothing) {
    StartAndFind();
    form.BitBtnFresh.Click();
    EXPECT_FALSE(form.SpdBtnDownLoad.Enabled);
    EXPECT_FALSE(form.SpdBtnVerify.Enabled);
    EXPECT_EQ(program.Context().DeviceFound, 0);
    EXPECT_FALSE(program.Comm().IsOpen());
    EXPECT_EQ(form.ComboBoxCOM.Items, std::vector<std::string>{device.PortPath()});
    // "查找设备" finds it again.
    form.BitBtnFind.Click();
    ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
    EXPECT_EQ(device.Counters().Probes, 2u);
}

// The programmer's port closes on block 5 of 12, as an unplugged adapter does.
TEST_F(FwUpgradeE2E, HangUpMidUpgradeFailsVisiblyAndTheReturnedProgrammerIsFound) {
    const auto lockDir =
        std::filesystem::path(::testing::TempDir()) / ("fwup-locks-" + std::to_string(getpid()));
    std::filesystem::remove_all(lockDir);
    std::filesystem::create_directories(lockDir);
    program.Comm().SetLockDir(lockDir.string());
    StartAndFind();
    ASSERT_FALSE(std::filesystem::is_empty(lockDir)); // the open port is locked

    // Armed while the fourth acknowledgement comes in: the fifth block goes
    // unanswered, and then the device is gone.
    beforeReceive = [&] {
        if (program.Context().UgCurAddr == 0x2000 + 3 * 0x400)
            device.InjectSilence();
    };
    dialogs.Calls.clear();
    form.SpdBtnDownLoad.Click();
    ASSERT_TRUE(Pump([&] { return device.Counters().RepliesDropped == 1; }));
    device.HangUp();
    ASSERT_TRUE(Pump([&] { return !dialogs.Calls.empty(); }));

    EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "通讯设备已断开！"}}));
    EXPECT_EQ(LastLine(), "> 通讯设备已断开！");
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
    EXPECT_EQ(form.ProgressBar1.Progress(), 12);
    EXPECT_EQ(Packets(0xB7).size(), 5u);
    EXPECT_EQ(program.Context().UgState, UgIdle);
    EXPECT_FALSE(form.Timer1.Enabled);
    // The port is closed and its lock gone; the device is forgotten.
    EXPECT_FALSE(program.Comm().IsOpen());
    EXPECT_TRUE(std::filesystem::is_empty(lockDir));
    EXPECT_EQ(program.Context().DeviceFound, 0);
    EXPECT_FALSE(form.SpdBtnDownLoad.Enabled);
    EXPECT_FALSE(form.SpdBtnVerify.Enabled);
    EXPECT_TRUE(form.ComboBoxCOM.Items.empty());

    // Plugged in again (on another port, as adapters often come back).
    beforeReceive = nullptr;
    TSimDevice back;
    listed = {&back};
    form.BitBtnFind.Click();
    ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
    EXPECT_EQ(form.ComboBoxCOM.Items, std::vector<std::string>{back.PortPath()});
    EXPECT_EQ(program.Comm().CommName(), back.PortPath());
    Upgrade();
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Blue);
    for (size_t b = 0; b < kSimFwBlocks; ++b)
        EXPECT_EQ(back.FirmwareBlock(b).size(), kFirmwareBlockSize) << b;
    std::filesystem::remove_all(lockDir);
}

// The programmer stops answering without hanging up.
TEST_F(FwUpgradeE2E, SilentProgrammerEndsTheVerifyAfterTenSecondsAndIsFoundAgain) {
    StartAndFind();
    Upgrade();
    device.InjectSilence(SIZE_MAX);
    dialogs.Calls.clear();
    form.SpdBtnVerify.Click();
    ASSERT_TRUE(Pump([&] { return device.Counters().RepliesDropped == 1; }));
    queue.Pump();
    EXPECT_TRUE(form.Timer1.Enabled);
    for (int tick = 1; tick < 500; ++tick)
        program.Tick();
    EXPECT_TRUE(dialogs.Calls.empty()) << "not before 10 s";
    EXPECT_EQ(program.Context().UgState, UgVerifyRunning);
    program.Tick(); // 500 ticks of 20 ms
    EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "命令执行超时"}}));
    EXPECT_EQ(LastLine(), "> 命令执行超时");
    EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
    EXPECT_EQ(form.ProgressBar1.Progress(), 100);
    EXPECT_EQ(program.Context().UgState, UgIdle);
    EXPECT_FALSE(form.Timer1.Enabled);
    for (int tick = 0; tick < 1000; ++tick)
        program.Tick();
    EXPECT_EQ(dialogs.Calls.size(), 1u) << "one time-out, reported once";

    // It answers again: a new search finds it on the same port and both
    // operations go through.
    device.ClearFaults();
    form.BitBtnFind.Click();
    ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
    EXPECT_EQ(form.ComboBoxCOM.Items, std::vector<std::string>{device.PortPath()});
    Upgrade();
    ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnVerify.Click(); }));
    EXPECT_EQ(dialogs.Texts(Kind::Information), std::vector<std::string>{"操作成功！"});
}

// A programmer answers a request just after the tool gave up on it, while the
// operator has already started again; the late answer may even name the
// request the new operation sends first (block 0 again, a verify again). It
// is never taken for the new operation's answer: that one is judged by its
// own replies.
TEST_F(FwUpgradeE2E, AnAnswerAfterTheTimeOutNeverCountsForTheNextOperation) {
    const RecordingDialogs::Call timeout{Kind::Error, "命令执行超时"};
    const RecordingDialogs::Call failed{Kind::Error, "编程过程出错，数据无法写入！"};
    const RecordingDialogs::Call mismatch{Kind::Error, "总数据校验和不一致！"};
    enum class Then { LastBlockSilent, LastBlockFails, FirstBlockFails, VerifySilent, VerifyDiffers };
    struct Case {
        const char *name;
        std::optional<unsigned> givenUp; // the block given up on; none: a verify
        Then then;
        std::vector<RecordingDialogs::Call> want;
    };
    const Case cases[] = {
        {"block 4, then a retry whose block 11 is unanswered", 4, Then::LastBlockSilent, {timeout, timeout}},
        {"block 4, then a retry whose block 11 fails", 4, Then::LastBlockFails, {timeout, failed}},
        {"block 0, then a retry whose block 0 fails", 0, Then::FirstBlockFails, {timeout, failed}},
        {"block 4, then an unanswered verify", 4, Then::VerifySilent, {timeout, timeout}},
        {"a verify, then a verify whose words differ",
         std::nullopt,
         Then::VerifyDiffers,
         {timeout, mismatch}},
    };
    StartAndFind();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        device.ClearFaults();
        form.BitBtnFind.Click(); // each case starts from a fresh search
        ASSERT_TRUE(Pump([&] { return program.Context().DeviceFound == 1; }));
        received = device.Counters().BytesOut;
        GiveUpOnARequestAndLetItsAnswerCome(c.givenUp);
        const size_t blocksBefore = Packets(0xB7).size();
        const uint64_t dropped = device.Counters().RepliesDropped;
        const bool verify = c.then == Then::VerifySilent || c.then == Then::VerifyDiffers;
        switch (c.then) {
        case Then::LastBlockSilent:
            BeforeAckOf(10, [&] { device.InjectSilence(); });
            break;
        case Then::LastBlockFails:
            BeforeAckOf(10, [&] { device.InjectStatus(0x2C); });
            break;
        case Then::FirstBlockFails:
            device.InjectStatus(0x2C); // the probe's answer leaves it armed
            break;
        case Then::VerifySilent:
            // Once the probe's answer is in, the verify sent then goes unanswered.
            beforeReceive = [&, armed = false]() mutable {
                if (!armed && program.Context().UgSyncing && received > lateAnswerEnds) {
                    armed = true;
                    device.InjectSilence();
                }
            };
            break;
        case Then::VerifyDiffers:
            device.InjectVerifyWords(0x4B5C, 0x10DB, 0x10DA, 0x4B5C);
            break;
        }
        if (verify)
            form.SpdBtnVerify.Click();
        else
            form.SpdBtnDownLoad.Click();
        ASSERT_TRUE(PumpPastTheLateAnswer());
        queue.Pump();
        if (c.want.back() == timeout) {
            ASSERT_TRUE(Pump([&] { return device.Counters().RepliesDropped == dropped + 1; }));
            queue.Pump();
            EXPECT_EQ(dialogs.Calls.size(), 1u) << "nothing judged before the time-out";
            Ticks(UgReplyTimeoutTicks);
        } else {
            ASSERT_TRUE(Pump([&] { return dialogs.Calls.size() == 2; }));
        }
        EXPECT_EQ(dialogs.Calls, c.want);
        beforeReceive = nullptr;
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
        EXPECT_EQ(program.Context().UgState, UgIdle);
        if (c.then == Then::LastBlockSilent || c.then == Then::LastBlockFails) {
            EXPECT_EQ(Packets(0xB7).size(), blocksBefore + 12) << "every block of the new run sent once";
        }
    }
    // Nothing stale is left: a whole upgrade and a verify go through.
    device.ClearFaults();
    Upgrade();
    ASSERT_TRUE(RunUntilResult([&] { form.SpdBtnVerify.Click(); }));
    EXPECT_EQ(dialogs.Texts(Kind::Information), std::vector<std::string>{"操作成功！"});
}

// After the programmer went away, "&Upgrade" (enabled whatever the buttons
// say) and a verify have no port to go to: they fail at once with the
// hang-up's text, not 10 s later with a time-out.
TEST_F(FwUpgradeE2E, AnOperationWithoutAPortFailsAtOnce) {
    StartAndFind();
    device.HangUp();
    ASSERT_TRUE(Pump([&] { return !program.Comm().IsOpen(); }));
    const size_t blocks = Packets(0xB7).size();
    for (auto start : {+[](TFwUpgradeProgram &p) { p.Form().Upgrade1.Click(); },
                       +[](TFwUpgradeProgram &p) { SpdBtnVerifyClick(p.Context()); }}) {
        dialogs.Calls.clear();
        start(program);
        EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::Error, "通讯设备已断开！"}}));
        EXPECT_EQ(LastLine(), "> 通讯设备已断开！");
        EXPECT_EQ(form.ProgressBar1.ForeColor, TColor::Red);
        EXPECT_EQ(program.Context().UgState, UgIdle);
        EXPECT_FALSE(form.Timer1.Enabled);
    }
    EXPECT_EQ(Packets(0xB7).size(), blocks);
}

TEST_F(FwUpgradeE2E, NoPortNoProbe) {
    Start({});
    EXPECT_TRUE(form.ComboBoxCOM.Items.empty());
    EXPECT_EQ(form.ComboBoxCOM.Text, "No Device Availiable");
    EXPECT_EQ(form.DevLabel.Caption, "设备......");
    EXPECT_FALSE(program.Comm().IsOpen());
    EXPECT_EQ(form.InfoMemo.Lines.size(), 8u); // the banner only
}

} // namespace
