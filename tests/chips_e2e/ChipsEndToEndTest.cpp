// The chip menu, register verify and progress reports through the real
// program object, its serial components and simulated programmers.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "app/VltProgram.h"
#include "chips/ChipMenu.h"
#include "datafiles/ScriptFiles.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "platform/EventQueue.h"
#include "serial/Comm.h"
#include "state/VltContext.h"
#include "tools/devsim/SimDevice.h"
#include "tools/devsim/SimPackets.h"

namespace fs = std::filesystem;
using Kind = RecordingDialogs::Kind;

namespace {

struct Station {
    fs::path Dir;
    TPumpQueue Queue;
    RecordingDialogs Dialogs;
    TFixedClock Clock{TDateTime{2026, 12, 7, 22, 15, 3, 0}};
    std::vector<std::unique_ptr<TSimDevice>> Sims;
    std::unique_ptr<TVltProgram> Prog;
    std::array<size_t, kChannels> Delimiters{};

    explicit Station(int devices) {
        Dir = fs::temp_directory_path() / ("pelmor-chips-e2e-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Clock.ShortDateFormat = "yyyy/mm/dd";
        for (int i = 0; i < devices; ++i)
            Sims.push_back(std::make_unique<TSimDevice>());
        Prog = std::make_unique<TVltProgram>(Queue, Dialogs, Clock);
        Prog->PortScan.DeviceMap = [this] {
            TSerialDeviceMap map;
            for (size_t i = 0; i < Sims.size(); ++i)
                map.push_back({"\\Device\\VCP" + std::to_string(i), Sims[i]->PortPath()});
            return map;
        };
        Prog->PortScan.Pause = [](unsigned) {};
        // Counts the frames each channel has been handed, to know when a device has been heard out.
        for (int n = 1; n <= kChannels; ++n) {
            TComm &c = Prog->Comm(n);
            c.OnReceiveData = [this, n, old = c.OnReceiveData](TComm &cm, const uint8_t *b, uint16_t len) {
                for (uint16_t i = 0; i < len; ++i)
                    Delimiters[static_cast<size_t>(n - 1)] += b[i] == 0xC0;
                old(cm, b, len);
            };
        }
        Prog->ProgramPath = (Dir / "Pelmor200VLT").string();
        Prog->Show();
        EXPECT_TRUE(Queue.PumpUntil([this] {
            for (size_t k = 0; k < Sims.size(); ++k)
                if (!ctx().ChannelConnected[k])
                    return false;
            return true;
        }));
    }
    ~Station() {
        Prog.reset();
        Sims.clear();
        fs::remove_all(Dir);
    }

    VltContext &ctx() { return Prog->Context(); }
    TProgramVLT &form() { return Prog->Form(); }
    const std::vector<std::string> &Lines() { return form().InfoMemo.Lines; }
    std::string Stamp() { return "> " + Clock.DateText() + " " + Clock.TimeText() + " "; }
    std::string L(int n, const std::string &text) {
        return Stamp() + "Device " + std::to_string(n) + " : " + text;
    }

    // The operator opens the chip menu and picks an item.
    void Choose(TMenuItem &item) {
        Dialogs.WhileOpen = [this, &item](const RecordingDialogs::Call &c) {
            if (c.kind != Kind::ShowModal)
                return;
            FormShow(ctx(), form().ChipSeltForm);
            item.Click();
        };
        form().DevButton.Click();
        Dialogs.WhileOpen = nullptr;
    }

    // Loads a family-48 script as the open routine does: cleared buffer, parse, loaded.
    void LoadScript(const std::string &text) {
        const fs::path p = Dir / "chip.py";
        std::ofstream(p) << text;
        std::fill_n(ctx().DataBuffer.begin(), 8192, uint8_t{0});
        ParseVeltaPyFile(ctx(), p.string());
        ctx().DataLoaded = 1;
    }

    bool Idle(int n) {
        return Queue.PumpUntil([this, n] {
            const size_t k = static_cast<size_t>(n - 1);
            return ctx().ChannelOpCode[k] == OpIdle && ctx().ChannelBusy[k] == 0;
        });
    }

    // Every frame device n has written has reached the program. The counters
    // are final only once the device is done writing.
    bool HeardOut(int n) {
        TSimDevice &sim = *Sims[static_cast<size_t>(n - 1)];
        if (!sim.WaitFor([](const TSimDevice &d) { return !d.Sending(); }))
            return false;
        return Queue.PumpUntil([&] {
            const TSimCounters c = sim.Counters();
            return Delimiters[static_cast<size_t>(n - 1)] == 2 * (c.Replies + c.Reports);
        });
    }

    // The command is over on channel n: idle, its last packet (a closing
    // packet after program and download) answered, and that answer taken in.
    bool Settle(int n, uint8_t lastCommand) {
        TSimDevice &sim = *Sims[static_cast<size_t>(n - 1)];
        if (!Idle(n) || !sim.WaitFor([&](const TSimDevice &d) {
                const auto cmds = d.Commands();
                return !cmds.empty() && cmds.back() == lastCommand && d.Counters().Replies == cmds.size();
            }))
            return false;
        return HeardOut(n);
    }

    // One progress report, taken in before the next is sent.
    void Report(int n, std::vector<uint8_t> packet) {
        Sims[static_cast<size_t>(n - 1)]->SendRaw(SimFrame(packet));
        EXPECT_TRUE(HeardOut(n));
    }
    void StandAloneRun(int n, uint8_t result, uint16_t steps) {
        Report(n, SimProgressReport(0x10, 0, 0, 0));
        Report(n, SimProgressReport(0x20, 0, 0, 0));
        Report(n, SimProgressReport(0x30, 0, 0, 0));
        for (uint16_t i = 0; i < steps; ++i)
            Report(n, SimProgressReport(0x40, 0, i, steps));
        Report(n, SimProgressReport(0x70, 0, 0, 0));
        Report(n, SimProgressReport(0xF0, result, 0, 0));
    }

    TSimPacket LastPacket(int n, uint8_t command) {
        const auto packets = Sims[static_cast<size_t>(n - 1)]->ReceivedPackets();
        for (auto it = packets.rbegin(); it != packets.rend(); ++it)
            if (it->Command() == command)
                return *it;
        return {};
    }
};

// The register lists of the visible models, as keys and key:mask pairs.
struct ModelLists {
    const char *Caption;
    const char *A;
    const char *B;
};
const ModelLists kVisible[] = {
    {"Vt7115",
     "001A 001B 001C 001D 001E 001F 0020 0021 0022 0029 002B 002F 0010 0110 022E 0316 031E 0326 032E 0336 "
     "033E 0346 "
     "034E 0356 0366 0A16 0B16 0C16 0D16",
     "0013:7F 0017:7F 002A:16 002C:EF 0112:7F 0310:EF"},
    {"Vt7117",
     "001A 001B 001C 001D 001F 0020 0021 0022 0029 002B 002F 0010 0110 022E 0310 031E 0326 032E 033E 0346 "
     "0346 034E "
     "0356 0366 0A16 0B16 0C16 0D16",
     "0011:7F 0012:77 0013:F7 0014:7F 0017:7F 0023:BF 002A:12 002C:EF 0112:7F"},
    {"Vt7127",
     "001A 001B 001C 001D 001F 0020 0021 0022 002B 002F 0110 022E 0310 031E 0326 032E 033E 0346 0346 034E "
     "0356 0366 "
     "0A16 0B16 0C16 0D16",
     "0011:F7 0012:77 0013:F7 0014:7F 0017:7F 0023:BF 0029:FD 002C:EF 0112:7F"},
    {"Vt7125",
     "001A 001B 001C 001D 001E 001F 0020 0021 0022 0029 002B 002F 002A 002C 0110 022E 0316 031E 0326 032E "
     "0336 033E "
     "0346 034E 0356 0366 0A16 0B16 0C16 0D16",
     "0013:F7 0017:7F 002C:EF 0112:7F 0310:EF"},
    {"Vt7129",
     "001A 001B 001C 001D 001F 0020 0021 0022 002B 002F 0104 0108 0110 0110 0316 031E 0326 032E 0336 033E "
     "0346 034E "
     "0356 036E 0366 0A09 0B09 0C09 0D09",
     "0010:FA 0013:F7 0017:7F 0024:6C 0029:FE 002A:16 002C:EF 0112:7F 022E:7F 0310:EF 0B16:EF 0D16:EF"},
    {"Vt7131",
     "0013 0017 001A 001B 001C 001D 001E 001F 0020 0021 0022 0023 0029 002A 002B 00E0 00E1 0110 0211 0221 "
     "0231 0241 "
     "022E 0316 031E 0326 032E 0336 033E 0346 034E 0356 0366 036E 0A16 0B16 0C16 0D16",
     "002C:EF 002F:AF 0112:7F 0310:EF 032C:EF"},
};

// The 256-byte list areas as the programmer must receive them.
std::vector<uint8_t> AreaA(const char *keys, int &count) {
    std::vector<uint8_t> a(256, 0);
    std::istringstream in(keys);
    std::string k;
    count = 0;
    size_t p = 0;
    while (in >> k) {
        const auto v = static_cast<uint16_t>(std::stoul(k, nullptr, 16));
        a[p++] = static_cast<uint8_t>(v);
        a[p++] = static_cast<uint8_t>(v >> 8);
        ++count;
    }
    std::fill_n(a.begin() + static_cast<long>(p), 4, uint8_t{0xFF});
    return a;
}
std::vector<uint8_t> AreaB(const char *entries, int &count) {
    std::vector<uint8_t> b(256, 0);
    std::istringstream in(entries);
    std::string e;
    count = 0;
    size_t p = 0;
    while (in >> e) {
        const auto v = static_cast<uint16_t>(std::stoul(e.substr(0, 4), nullptr, 16));
        b[p++] = static_cast<uint8_t>(v);
        b[p++] = static_cast<uint8_t>(v >> 8);
        b[p++] = static_cast<uint8_t>(std::stoul(e.substr(5), nullptr, 16));
        b[p++] = 0;
        ++count;
    }
    std::fill_n(b.begin() + static_cast<long>(p), 4, uint8_t{0xFF});
    return b;
}

TMenuItem &ItemOf(TChipSeltForm &menu, const std::string &caption) {
    for (TMenuItem *i : menu.PopupMenuXF.Items)
        if (i->Caption == caption)
            return *i;
    throw std::runtime_error("no item " + caption);
}

const char *kScript = "import time\n"
                      "# GENERIC: begin\n"
                      "i2c.i2cw(0x50, 0xFF, 0x00)\n"
                      "i2c.i2cw(0x50, 0x21, 0x5A)\n"
                      "i2c.i2cw(0x50, 0x1A, 0x11)\n"
                      "i2c.i2cw(0x50, 0x13, 0x85)\n"
                      "i2c.i2cw(0x50, 0xFF, 0x01)\n"
                      "i2c.i2cw(0x50, 0x23, 0x44)\n"
                      "time.sleep(5e-3)\n"
                      "# Efuse Write\n"
                      "i2c.i2cw(0x50, 0x24, 0x66)\n";

TEST(ChipsEndToEnd, EveryVisibleModelSetsUpFamily48AndSendsItsLists) {
    Station s(1);
    TChipSeltForm &menu = s.form().ChipSeltForm;
    for (const auto &m : kVisible) {
        SCOPED_TRACE(m.Caption);
        s.form().InfoMemo.Clear();
        s.Choose(ItemOf(menu, m.Caption));
        TProgramVLT &f = s.form();
        EXPECT_EQ(f.MCUNameEdit.Text(), m.Caption);
        EXPECT_FALSE(menu.Showing);
        EXPECT_EQ(f.SpinEditPowTM.Value(), 600);
        EXPECT_EQ(f.RadioGpVolt.Items[static_cast<size_t>(f.RadioGpVolt.ItemIndex)], "2.5V");
        EXPECT_EQ(f.RadioGrpPIF.Items[static_cast<size_t>(f.RadioGrpPIF.ItemIndex)], "Use I2C");
        EXPECT_TRUE(f.RadioGrpPIF.Visible);
        EXPECT_FALSE(f.RadioGrpPIF.Enabled);
        EXPECT_TRUE(f.SpdButtnRdInfo.Visible);
        EXPECT_TRUE(f.ReadChipInformation1.Visible);
        EXPECT_FALSE(f.ChkBoxVfyE1.Visible);
        EXPECT_FALSE(f.ChkBoxIgChip.Visible);
        EXPECT_EQ(s.ctx().MemoryImageFlag, 0);
        EXPECT_EQ(s.ctx().ChipFamily, 48);

        // The selection line: the second identity byte first.
        const auto id = s.ctx().ChipId;
        char idText[8];
        std::snprintf(idText, sizeof idText, "%02X%02X", id[1], id[0]);
        ASSERT_FALSE(s.Lines().empty());
        EXPECT_EQ(s.Lines().front(),
                  s.Stamp() + "Chip of \"" + m.Caption + "\" is Selected.Chip ID is 0x" + idText + ".");

        // The next commands carry both lists byte for byte.
        int keys = 0, entries = 0;
        const auto a = AreaA(m.A, keys);
        const auto b = AreaB(m.B, entries);
        s.LoadScript(kScript);
        for (bool generic : {false, true}) {
            f.ChkBoxEnGenc.SetChecked(generic);
            f.SpdBtnProg.Click();
            ASSERT_TRUE(s.Settle(1, 0x86));
            const TSimPacket prog = s.LastPacket(1, 0x95);
            ASSERT_EQ(prog.Bytes.size(), 4746u);
            EXPECT_EQ(std::vector<uint8_t>(prog.Bytes.begin() + 4232, prog.Bytes.begin() + 4488), a);
            EXPECT_EQ(std::vector<uint8_t>(prog.Bytes.begin() + 4488, prog.Bytes.begin() + 4744), b);
            // Settings block bytes 22 and 23: the key count with the Generic-area option in bit 4.
            EXPECT_EQ(prog.Bytes[8 + 22], generic ? (keys | 0x10) : (keys & ~0x10));
            EXPECT_EQ(prog.Bytes[8 + 23], entries);
        }
        f.SpdBtnDownLoad.Click();
        ASSERT_TRUE(s.Settle(1, 0x8A));
        const TSimSetup setup = s.Sims[0]->LastSetup();
        ASSERT_TRUE(setup.Valid);
        EXPECT_EQ(std::vector<uint8_t>(setup.Plain.begin() + 520, setup.Plain.begin() + 776), a);
        EXPECT_EQ(std::vector<uint8_t>(setup.Plain.begin() + 776, setup.Plain.begin() + 1032), b);
        EXPECT_EQ(setup.ChipName, m.Caption);
    }
}

TEST(ChipsEndToEnd, ChoosingTheShownModelAgainRunsNoSetup) {
    Station s(1);
    TChipSeltForm &menu = s.form().ChipSeltForm;
    s.Choose(menu.Vt71311);
    s.LoadScript(kScript);
    s.form().SpinEditPowTM.SetValue(250);
    s.form().InfoMemo.Clear();
    s.Choose(menu.Vt71311);
    EXPECT_TRUE(s.Lines().empty());
    EXPECT_EQ(s.ctx().DataLoaded, 1);
    EXPECT_EQ(s.form().SpinEditPowTM.Value(), 250);
    // Another model does run it.
    s.Choose(menu.Vt71151);
    EXPECT_EQ(s.ctx().DataLoaded, 0);
    EXPECT_EQ(s.form().SpinEditPowTM.Value(), 600);
}

TEST(ChipsEndToEnd, VerifyOfAFamily48ScriptAgainstARegisterChip) {
    Station s(1);
    TSimDevice &sim = *s.Sims[0];
    s.Choose(s.form().ChipSeltForm.Vt71151);
    s.LoadScript(kScript);
    ASSERT_EQ(s.ctx().RecordCount, 8);
    s.form().SpdBtnProg.Click();
    ASSERT_TRUE(s.Settle(1, 0x86));
    EXPECT_EQ(sim.Register(0x0123), 0x44);
    EXPECT_EQ(sim.Register(0x0024), 0x00); // a write of another section is not programmed

    s.form().InfoMemo.Clear();
    s.Dialogs.Calls.clear();
    s.form().SpdBtnVerify.Click();
    ASSERT_TRUE(s.Settle(1, 0x9B));
    EXPECT_EQ(s.Lines(), (std::vector<std::string>{
                             s.Stamp() + "Device 1 : Do Verification......", s.L(1, "Chip Verify Success!"),
                             s.L(1, "Operation Success!"), s.L(1, "Operation Success!")}));
    EXPECT_EQ(s.Dialogs.Texts(Kind::Information), (std::vector<std::string>{"Operation Success!"}));
    EXPECT_EQ(s.form().GaugeBar1.ForeColor, TColor::Blue);

    // One register differs; a register of list A and a masked-out bit differ too, unreported.
    sim.SetRegister(0x0123, 0x40);
    sim.SetRegister(0x001A, 0x99);
    sim.SetRegister(0x0013, 0x05); // list B masks 0x0013 with 0x7F: bit 7 is not compared
    s.form().InfoMemo.Clear();
    s.Dialogs.Calls.clear();
    s.form().SpdBtnVerify.Click();
    ASSERT_TRUE(s.Settle(1, 0x9B));
    EXPECT_EQ(s.Lines(),
              (std::vector<std::string>{s.Stamp() + "Device 1 : Do Verification......",
                                        s.L(1, "Verify Fail,Register=0x0123,Buffer=0x44,Chip=0x40!"),
                                        s.L(1, "Operation Failed!"), s.L(1, "Data Verify Error!")}));
    EXPECT_EQ(s.Dialogs.Texts(Kind::Error), (std::vector<std::string>{"Data Verify Error!"}));
    EXPECT_EQ(s.form().GaugeBar1.ForeColor, TColor::Red);
}

TEST(ChipsEndToEnd, StandAloneRunsOnChannels1And3) {
    Station s(3);
    s.form().InfoMemo.Clear();
    s.StandAloneRun(1, 6, 3);
    s.StandAloneRun(3, 0x2C, 2);
    EXPECT_EQ(
        s.Lines(),
        (std::vector<std::string>{
            s.L(1, "Channel 1 : Initial Programming Interface ...."),
            s.L(1, "Channel 1 : Chip Blank Checking...."), s.L(1, "Channel 1 : Do Chip Erasing...."),
            s.L(1, "Channel 1 : Do Main Flash Programming...."),
            s.L(1, "Channel 1 : Do Main Flash Verification...."),
            ">---- Total OK Number is : 1, NG is 0 ----", s.L(1, "Channel 1 : OK=1, NG=0."),
            s.L(1, "Channel 1 : Progrmming Completed : Successed !"),
            s.L(3, "Channel 3 : Start Auto-Programming...."), s.L(3, "Channel 3 : Chip Blank Checking...."),
            s.L(3, "Channel 3 : Do Chip Erasing...."), s.L(3, "Channel 3 : Do Main Flash Programming...."),
            s.L(3, "Channel 3 : Do Main Flash Verification...."),
            ">---- Total OK Number is : 1, NG is 1 ----", s.L(3, "Channel 3 : OK=0, NG=1."),
            s.L(3, "Channel 3 : Progrmming Completed : Failed : Error=0x2C!")}));
    EXPECT_EQ(s.form().GaugeBar1.ForeColor, TColor::Blue);
    EXPECT_EQ(s.form().GaugeBar1.Progress(), s.form().GaugeBar1.MaxValue());
    EXPECT_EQ(s.form().GaugeBar3.ForeColor, TColor::Red);
    EXPECT_EQ(s.form().GaugeBar3.Progress(), s.form().GaugeBar3.MaxValue());
    EXPECT_EQ(s.ctx().ChannelOkCount[0], 1u);
    EXPECT_EQ(s.ctx().ChannelNgCount[2], 1u);
    EXPECT_EQ(s.ctx().ChannelOpCode[0], OpIdle);
    EXPECT_EQ(s.ctx().ChannelBusy[2], 0);
    EXPECT_TRUE(s.Dialogs.Calls.empty());

    // A report whose header does not add up to zero changes nothing.
    auto bad = SimProgressReport(0xF0, 6, 0, 0);
    bad[7] = static_cast<uint8_t>(bad[7] + 1);
    const auto before = s.Lines();
    const int progress = s.form().GaugeBar3.Progress();
    s.Report(3, bad);
    EXPECT_EQ(s.Lines(), before);
    EXPECT_EQ(s.form().GaugeBar3.Progress(), progress);
    EXPECT_EQ(s.form().GaugeBar3.ForeColor, TColor::Red);
    EXPECT_EQ(s.ctx().TotalOkCount, 1u);
    EXPECT_EQ(s.ctx().ChannelOkCount[2], 0u);

    // The 2000th result writes the panel into the program's folder.
    s.ctx().ResultsSinceLogSave = 1998;
    s.Report(2, SimProgressReport(0xF0, 6, 0, 0));
    EXPECT_EQ(s.ctx().TotalOkCount, 2u);
    EXPECT_FALSE(fs::exists(s.Dir / "VLT_2026_12_07_22_15_03.log"));
    s.Report(3, SimProgressReport(0xF0, 6, 0, 0));
    EXPECT_EQ(s.ctx().TotalOkCount, 3u);
    EXPECT_TRUE(fs::exists(s.Dir / "VLT_2026_12_07_22_15_03.log"));
    EXPECT_EQ(s.ctx().ResultsSinceLogSave, 0u);
}

} // namespace
