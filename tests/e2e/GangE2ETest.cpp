#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "platform/Format.h"
#include "protocol/Frame.h"
#include "serial/Comm.h"
#include "serial/CommsError.h"
#include "tests/e2e/GangRig.h"
#include "tests/protocol/ReplyFeed.h"

using Kind = RecordingDialogs::Kind;

namespace {

bool Has(const std::vector<std::string> &v, const std::string &s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

size_t CountOf(const std::vector<std::string> &v, const std::string &s) {
    return static_cast<size_t>(std::count(v.begin(), v.end(), s));
}

size_t CommandCount(TSimDevice &d, uint8_t cmd) {
    auto c = d.Commands();
    return static_cast<size_t>(std::count(c.begin(), c.end(), cmd));
}

TSimOptions Suffixed() {
    TSimOptions o;
    o.NameSuffix = "-V1.8";
    return o;
}

} // namespace

TEST(GangE2E, FirstShowBindsAndProbesFourProgrammers) {
    GangRig r(4, Suffixed());
    r.ShowAndConnect();

    EXPECT_EQ(r.Pauses, (std::vector<unsigned>{50, 50, 50, 50}));
    const auto texts = r.Texts();
    EXPECT_EQ(texts[0], "Hello Pelmor200VLT User!------2026-03-09,14:05:07");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_TRUE(Has(texts, Format("Checking Device %d In %s............", n, r.Dev(n).PortPath()))) << n;
        EXPECT_EQ(r.Ctx().ChannelOpCode[r.k(n)], 48);
        EXPECT_EQ(r.Ctx().ChannelTimeout[r.k(n)], 500);
        EXPECT_TRUE(r.Form().DevSpdBtn(n).Enabled);
        EXPECT_TRUE(r.Form().GaugeBar(n).Enabled);
        EXPECT_EQ(r.Dev(n).Counters().Probes, 1u);
        EXPECT_EQ(r.Program.Comm(n).CommName(), r.Dev(n).PortPath());
    }
    EXPECT_TRUE(Has(texts, "Device 1 : Find Device : Pelmor200VLT-V1.8!"));
    for (int n = 2; n <= 4; ++n)
        EXPECT_TRUE(Has(texts, Format("Device %d : Find Device: Pelmor200VLT-V1.8!", n))) << n;
    EXPECT_EQ(r.Form().InfoPanel.Caption, "Pelmor200VLT-V1.8");
    EXPECT_EQ(r.Form().ComboBoxCOM.Text, r.Dev(4).PortPath());
    EXPECT_TRUE(std::filesystem::is_directory(r.Dir / "Log"));
    EXPECT_EQ(r.Ctx().ProgramDir, r.Dir.string() + "/");
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(GangE2E, FifthProgrammerIsListedButNotBound) {
    GangRig r(5);
    r.ShowAndConnect();
    EXPECT_EQ(r.Form().ComboBoxCOM.Items.size(), 5u);
    EXPECT_EQ(r.Form().ComboBoxCOM.Items[4], r.Dev(5).PortPath());
    EXPECT_EQ(r.Pauses.size(), 4u);
    // No channel holds the fifth port, so nothing can ever be written to it.
    for (int n = 1; n <= 4; ++n)
        EXPECT_NE(r.Program.Comm(n).CommName(), r.Dev(5).PortPath()) << n;
    EXPECT_EQ(r.Dev(5).Counters().BytesIn, 0u);
}

TEST(GangE2E, DownloadAndProgram64KBOnFourChannelsAtOnce) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(64);
    r.Form().SpdBtnDownLoad.Click();
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(r.Ctx().ChannelOpCode[r.k(n)], 3) << "all four started in one click";
    ASSERT_TRUE(r.PumpUntil([&] { return r.AllIdle(); }));

    std::vector<uint16_t> blocks;
    for (uint16_t kb = 0; kb < 64; kb += 4)
        blocks.push_back(kb);
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        TSimDevice &d = r.Dev(n);
        ASSERT_TRUE(d.WaitFor([](const TSimDevice &x) {
            auto c = x.Commands();
            return !c.empty() && c.back() == 0x8A;
        }));
        EXPECT_TRUE(d.LastSetup().Valid);
        EXPECT_EQ(d.LastSetup().ChipName, "ImageChip");
        EXPECT_EQ(d.LastSetup().FileName, "pattern.bin");
        EXPECT_EQ(d.DownloadedBlocks(), blocks);
        for (uint16_t kb : blocks) {
            const auto got = d.DownloadedBlock(kb);
            ASSERT_TRUE(std::equal(got.begin(), got.end(), r.Ctx().DataBuffer.begin() + kb * 1024)) << kb;
        }
        const auto t = r.ChannelTexts(n);
        EXPECT_EQ(t[t.size() - 2], "Download Data......");
        EXPECT_EQ(t.back(), "Operation Success!");
        EXPECT_EQ(r.Ctx().ChannelOpCode[r.k(n)], 48);
        EXPECT_EQ(r.Form().GaugeBar(n).Progress(), 64);
    }

    const size_t before = r.Lines().size();
    r.Form().SpdBtnProg.Click();
    ASSERT_TRUE(r.PumpUntil([&] { return r.AllIdle(); }));
    std::set<std::string> counters;
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(r.Dev(n).WaitFor([](const TSimDevice &x) { return x.Commands().back() == 0x86; }));
        const auto image = r.Dev(n).ChipImage();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), r.Ctx().DataBuffer.begin()));
        size_t mine = 0;
        for (const auto &t : r.ChannelTexts(n))
            if (t.rfind("Counter : ", 0) == 0) {
                counters.insert(t);
                ++mine;
            }
        EXPECT_EQ(mine, 1u);
        EXPECT_EQ(r.ChannelTexts(n).back(), "Operation Success!");
    }
    EXPECT_EQ(counters, (std::set<std::string>{"Counter : 1", "Counter : 2", "Counter : 3", "Counter : 4"}));
    EXPECT_GT(r.Lines().size(), before);
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(GangE2E, VerifySucceedsAndReportsADifferenceWithoutADialog) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(16);
    const std::vector<uint8_t> image(r.Ctx().DataBuffer.begin(), r.Ctx().DataBuffer.end());
    for (int n = 1; n <= 4; ++n)
        r.Dev(n).SetChipImage(0, image);

    r.Form().SpdBtnVerify.Click();
    ASSERT_TRUE(r.PumpUntil([&] { return r.AllIdle(); }));
    for (int n = 1; n <= 4; ++n) {
        const auto t = r.ChannelTexts(n);
        EXPECT_EQ(std::vector<std::string>(t.end() - 2, t.end()),
                  (std::vector<std::string>{"Chip Data Verify Success!", "Operation Success!"}))
            << n;
        EXPECT_EQ(CommandCount(r.Dev(n), 0x9B), 4u);
    }

    const uint8_t want = r.Ctx().DataBuffer[0x2345];
    r.Dev(2).SetChipImage(0x2345, {static_cast<uint8_t>(want ^ 0x5A)});
    r.Form().SpdBtnVerify.Click();
    ASSERT_TRUE(r.PumpUntil([&] { return r.AllIdle(); }));
    const auto t = r.ChannelTexts(2);
    EXPECT_EQ(std::vector<std::string>(t.end() - 2, t.end()),
              (std::vector<std::string>{Format("Verify Error! Address=0x2345,Buffer=0x%0.2x,Chip=0x%0.2x.",
                                               want, uint8_t(want ^ 0x5A)),
                                        "Operation Failed!"}));
    EXPECT_EQ(CommandCount(r.Dev(2), 0x9B), 4u + 3u); // blocks 0, 4 and 8: no block after the difference
    EXPECT_EQ(r.Form().GaugeBar2.ForeColor, TColor::Red);
    EXPECT_EQ(r.ChannelTexts(3).back(), "Operation Success!");
    EXPECT_TRUE(r.Dialogs.Calls.empty());
}

TEST(GangE2E, ReadChipOf64KBArrivesIn16Replies) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(64);
    std::vector<uint8_t> chip(kBufferSize);
    for (size_t i = 0; i < chip.size(); ++i)
        chip[i] = static_cast<uint8_t>(i ^ (i >> 9));
    r.Dev(1).SetChipImage(0, chip);

    const size_t before = r.Lines().size();
    r.Form().SpeedButtonRD.Click();
    ASSERT_TRUE(r.PumpUntil([&] { return r.Idle(1); }));
    EXPECT_EQ(CommandCount(r.Dev(1), 0x9B), 16u);
    EXPECT_TRUE(std::equal(chip.begin(), chip.end(), r.Ctx().ReadBuffer.begin()));
    EXPECT_EQ(r.Ctx().ReadDataValid, 1);
    const auto texts = r.Texts(before);
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Device 1 : Read Chip Memory......");
    EXPECT_EQ(texts[1], "Device 1 : Chip Memory Data Read out!");
    EXPECT_EQ(texts[2], "Device 1 : Operation Success!");
    EXPECT_TRUE(Has(texts, Format("Read Data ACC CheckSum = 0x%0.4x", SumFrom(chip, 0, 0xFFFF, 0))));
    for (int n = 2; n <= 4; ++n)
        EXPECT_EQ(CommandCount(r.Dev(n), 0x9B), 0u);
}

TEST(GangE2E, FailureStatusEndsThatChannelOnly) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(4);
    r.Dev(3).InjectStatus(0x2C);
    r.Form().SpdBtnProg.Click();
    ASSERT_TRUE(r.PumpUntil([&] { return r.AllIdle(); }));
    const auto t = r.ChannelTexts(3);
    EXPECT_EQ(std::vector<std::string>(t.end() - 2, t.end()),
              (std::vector<std::string>{"Operation Failed!", "Write EEP Memory Error!"}));
    EXPECT_EQ(r.Dialogs.Calls,
              (std::vector<RecordingDialogs::Call>{{Kind::Error, "Write EEP Memory Error!"}}));
    EXPECT_EQ(r.Ctx().ProgramCounter, 3u);
    for (int n : {1, 2, 4})
        EXPECT_EQ(r.ChannelTexts(n).back(), "Operation Success!") << n;
}

TEST(GangE2E, SilenceTimesOutAfter1000Ticks) {
    struct Case {
        const char *button;
        const char *text;
    };
    for (const Case &c :
         {Case{"download", "Device2: Operation Timeout!"}, Case{"program", "Chip2: Operation Timeout!"}}) {
        SCOPED_TRACE(c.button);
        GangRig r;
        r.ShowAndConnect();
        r.ChooseImageChipWithData(8);
        r.Dev(2).InjectSilence(SIZE_MAX);
        (std::string(c.button) == "download" ? r.Form().SpdBtnDownLoad : r.Form().SpdBtnProg).Click();
        ASSERT_TRUE(r.Dev(2).WaitForPackets(2)); // probe and command
        ASSERT_TRUE(r.PumpUntil([&] { return r.Idle(1) && r.Idle(3) && r.Idle(4); }));
        const size_t before = r.Lines().size();
        r.Ticks(999);
        EXPECT_EQ(r.Lines().size(), before);
        r.Ticks(1);
        EXPECT_EQ(r.Texts(before), (std::vector<std::string>{c.text, "Device 2 : Operation Failed!"}));
        EXPECT_EQ(r.Ctx().ChannelOpCode[1], 48);
    }
}

TEST(GangE2E, SilenceOnceBytesCameTimesOutAfter500Ticks) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(4);
    r.Dev(1).InjectSilence(SIZE_MAX);
    r.Form().SpdBtnProg.Click();
    ASSERT_TRUE(r.Dev(1).WaitForPackets(2));
    ASSERT_TRUE(r.PumpUntil([&] { return r.Idle(2) && r.Idle(3) && r.Idle(4); }));
    r.Ticks(700);
    r.Dev(1).SendRaw({0xFF, 0xC0, 0x95, 0x00}); // a reply that starts and stops
    ASSERT_TRUE(r.PumpUntil([&] { return r.Ctx().ChannelRxCount[0] == 4; }));
    EXPECT_EQ(r.Ctx().ChannelTimeout[0], 500);
    const size_t before = r.Lines().size();
    r.Ticks(499);
    EXPECT_EQ(r.Lines().size(), before);
    r.Ticks(1);
    EXPECT_EQ(r.Texts(before),
              (std::vector<std::string>{"Chip1: Operation Timeout!", "Device 1 : Operation Failed!"}));
}

TEST(GangE2E, AwkwardDeliveriesOfAReplyAreHandledOnce) {
    struct Case {
        const char *name;
        std::function<void(TSimDevice &)> fault;
    };
    const Case cases[] = {
        {"split in chunks", [](TSimDevice &d) { d.InjectSplit(7, std::chrono::milliseconds(3)); }},
        {"garbage before the frame",
         [](TSimDevice &d) {
             d.InjectGarbage({0x11, 0xFF, 0x22});
         }},
        {"two frames in one write", [](TSimDevice &d) { d.InjectSecondFrame(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GangRig r(1);
        r.ShowAndConnect();
        r.ChooseImageChipWithData(4);
        c.fault(r.Dev(1));
        r.Form().SpdBtnProg.Click();
        ASSERT_TRUE(r.PumpUntil([&] { return r.Idle(1); }));
        // The closing packet answered and every byte the device sent handled: a
        // duplicate would have been seen by now.
        ASSERT_TRUE(r.Dev(1).WaitFor([](const TSimDevice &d) {
            auto c = d.Commands();
            return !c.empty() && c.back() == 0x86 && !d.Sending();
        }));
        ASSERT_TRUE(r.PumpUntilDelivered(1));
        const auto t = r.ChannelTexts(1);
        EXPECT_EQ(CountOf(t, "Counter : 1"), 1u);
        EXPECT_EQ(CountOf(t, "Operation Success!"), 1u);
        EXPECT_EQ(r.Ctx().ProgramCounter, 1u);
        EXPECT_TRUE(r.Dialogs.Calls.empty());
    }
}

TEST(GangE2E, HangupClosesThePortAndTheOperationTimesOut) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(4);
    r.Dev(3).InjectSilence(SIZE_MAX);
    r.Form().SpdBtnProg.Click();
    ASSERT_TRUE(r.Dev(3).WaitForPackets(2));
    ASSERT_TRUE(r.PumpUntil([&] { return r.Idle(1) && r.Idle(2) && r.Idle(4); }));
    const auto firstPort = r.Form().ComboBoxCOM.Items[0];
    r.Dev(3).HangUp();
    ASSERT_TRUE(r.PumpUntil([&] { return r.Ctx().ChannelConnected[2] == 0; }));
    EXPECT_FALSE(r.Program.Comm(3).IsOpen());
    EXPECT_FALSE(r.Form().GaugeBar3.Enabled);
    EXPECT_EQ(r.Form().ComboBoxCOM.Items.size(), 3u);
    EXPECT_NE(r.Form().ComboBoxCOM.Items[0], firstPort);
    EXPECT_EQ(r.Ctx().ChannelBusy[2], 1);
    const size_t before = r.Lines().size();
    r.Ticks(1000);
    EXPECT_EQ(r.Texts(before),
              (std::vector<std::string>{"Chip3: Operation Timeout!", "Device 3 : Operation Failed!"}));
    EXPECT_TRUE(r.Program.Comm(1).IsOpen());
}

TEST(GangE2E, LineErrorClearsBusyWhileTheCodeStays) {
    GangRig r;
    r.ShowAndConnect();
    r.ChooseImageChipWithData(4);
    r.Dev(2).InjectSilence(1);
    r.Form().SpdBtnProg.Click();
    ASSERT_TRUE(r.Dev(2).WaitForPackets(2));
    ASSERT_TRUE(r.PumpUntil([&] { return r.Idle(1) && r.Idle(3) && r.Idle(4); }));
    r.Dev(2).SendRaw({0xC0, 0x01});
    ASSERT_TRUE(r.PumpUntil([&] { return r.Ctx().ChannelRxCount[1] == 2; }));
    TComm &comm = r.Program.Comm(2);
    comm.OnReceiveError(comm, CommErrFrame); // as the port reports a framing error
    EXPECT_EQ(r.Ctx().ChannelBusy[1], 0);
    EXPECT_EQ(r.Ctx().ChannelRxCount[1], 0);
    EXPECT_EQ(r.Ctx().ChannelOpCode[1], 7);
    const size_t before = r.Lines().size();
    r.Ticks(2000);
    EXPECT_EQ(r.Lines().size(), before);
    // A reply that still comes is the program reply.
    r.Dev(2).SendRaw(Framed(StatusReply(0)));
    ASSERT_TRUE(r.PumpUntil([&] { return r.Ctx().ChannelOpCode[1] == 48; }));
    EXPECT_EQ(r.ChannelTexts(2).back(), "Operation Success!");
}

TEST(GangE2E, FreshDeviceUnbindsEveryChannelWithoutAProbe) {
    GangRig r;
    r.ShowAndConnect();
    std::array<uint64_t, 4> closes{};
    for (int n = 1; n <= 4; ++n)
        closes[r.k(n)] = r.Dev(n).Counters().HostCloses;
    r.Form().BitBtnFresh.Click();
    EXPECT_EQ(r.Form().ComboBoxCOM.Items.size(), 4u); // listed again: the ports are free now
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(r.Ctx().ChannelConnected[r.k(n)], 0);
        EXPECT_EQ(r.Ctx().ChannelBusy[r.k(n)], 0);
        EXPECT_FALSE(r.Program.Comm(n).IsOpen());
        EXPECT_FALSE(r.Form().DevSpdBtn(n).Enabled);
    }
    // Each device has seen its port closed, so it has read all that was written before.
    for (int n = 1; n <= 4; ++n) {
        const uint64_t before = closes[r.k(n)];
        ASSERT_TRUE(r.Dev(n).WaitFor([&](const TSimDevice &d) { return d.Counters().HostCloses > before; }))
            << n;
        EXPECT_EQ(r.Dev(n).Counters().Probes, 1u);
    }
    // Connnect Device binds and probes them again.
    r.Form().BitBtnFindCOM.Click();
    ASSERT_TRUE(r.PumpUntil([&] { return r.Ctx().ChannelConnected[3] == 1; }));
    EXPECT_EQ(r.Dev(4).Counters().Probes, 2u);
}

TEST(GangE2E, PortThatVanishesBeforeItsOpenEndsTheScanThere) {
    GangRig r(3);
    r.ShowAndConnect();
    const uint64_t closes2 = r.Dev(2).Counters().HostCloses, closes3 = r.Dev(3).Counters().HostCloses;
    // Listed by the scan, gone by the time channel 2 opens it.
    const std::string ghost = (r.Dir / "ghost-port").string();
    // A terminal, so the scan lists it: a link to device 2's port, removed before its open.
    std::filesystem::create_symlink(r.Dev(2).PortPath(), ghost);
    r.Program.PortScan.DeviceMap = [&] {
        return TSerialDeviceMap{{"\\Device\\VCP0", r.Dev(1).PortPath()},
                                {"\\Device\\VCP1", ghost},
                                {"\\Device\\VCP2", r.Dev(2).PortPath()},
                                {"\\Device\\VCP3", r.Dev(3).PortPath()}};
    };
    r.Pauses.clear();
    r.Program.PortScan.Pause = [&](unsigned ms) {
        r.Pauses.push_back(ms);
        std::filesystem::remove(ghost);
    };
    const size_t before = r.Lines().size();
    try {
        r.Form().BitBtnFindCOM.Click();
        ADD_FAILURE() << "the failed open was not reported";
    } catch (const ECommsError &e) {
        EXPECT_STREQ(e.what(), kMsgErrorOpening);
    }
    EXPECT_EQ(r.Form().ComboBoxCOM.Items.size(), 4u);
    EXPECT_EQ(r.Form().InfoPanel.Caption, "Searching Devices............");
    // The remaining ports are neither bound nor probed.
    EXPECT_EQ(r.Texts(before),
              (std::vector<std::string>{Format("Checking Device 1 In %s............", r.Dev(1).PortPath()),
                                        Format("Checking Device 2 In %s............", ghost)}));
    EXPECT_EQ(r.Pauses, std::vector<unsigned>{50});
    EXPECT_FALSE(r.Program.Comm(2).IsOpen());
    EXPECT_FALSE(r.Program.Comm(3).IsOpen());
    EXPECT_FALSE(r.Program.Comm(4).IsOpen());
    ASSERT_TRUE(r.PumpUntil([&] { return r.Ctx().ChannelConnected[0] == 1; }));
    EXPECT_EQ(r.Dev(1).Counters().Probes, 2u);
    for (int n : {2, 3, 4})
        EXPECT_EQ(r.Ctx().ChannelConnected[r.k(n)], 0) << n;
    // Devices 2 and 3 have seen their ports closed by the new scan, and after
    // that no channel holds them.
    for (auto [n, before] : {std::pair{2, closes2}, std::pair{3, closes3}}) {
        ASSERT_TRUE(r.Dev(n).WaitFor([&](const TSimDevice &d) { return d.Counters().HostCloses > before; }))
            << n;
        EXPECT_EQ(r.Dev(n).Counters().Probes, 1u);
    }
}
