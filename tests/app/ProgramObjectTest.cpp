#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/VltProgram.h"
#include "chips/ChipMenu.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/EventQueue.h"
#include "serial/Comm.h"
#include "state/VltContext.h"

using Kind = RecordingDialogs::Kind;

namespace {

// The program object without programmers: the device map is empty.
struct ProgramRig {
    TPumpQueue Queue;
    RecordingDialogs Dialogs;
    TFixedClock Clock{TDateTime{2026, 3, 9, 14, 5, 7, 0}};
    TVltProgram Program{Queue, Dialogs, Clock};
    std::filesystem::path Dir;
    int Closes = 0;

    ProgramRig() {
        Dir = std::filesystem::temp_directory_path() /
              ("pelmor-prog-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        std::filesystem::create_directories(Dir);
        Program.ProgramPath = (Dir / "Pelmor200VLT").string();
        Program.PortScan.DeviceMap = [] { return TSerialDeviceMap{}; };
        Program.PortScan.Pause = [](unsigned) { ADD_FAILURE() << "no port to pause for"; };
        Program.OnCloseRequest = [this] { ++Closes; };
    }
    ~ProgramRig() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    VltContext &Ctx() { return Program.Context(); }
    TProgramVLT &Form() { return Program.Form(); }
    const std::string Stamp = "> 2026-03-09 14:05:07 ";
};

} // namespace

TEST(ProgramObject, FirstShowPreparesTheWindowAndTheState) {
    ProgramRig r;
    VltContext &c = r.Ctx();
    c.DataBuffer[0x4000] = 0x00;
    r.Program.Show();
    TProgramVLT &f = r.Form();
    EXPECT_EQ(f.InfoMemo.Lines,
              std::vector<std::string>{r.Stamp + "Hello Pelmor200VLT User!------2026-03-09,14:05:07"});
    EXPECT_EQ(c.ProgramDir, r.Dir.string() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(r.Dir / "Log"));
    EXPECT_EQ(c.DataBuffer[0], 0xFF);
    EXPECT_EQ(c.DataBuffer[0x3FFF], 0xFF);
    EXPECT_EQ(c.DataBuffer[0x4000], 0x00);
    EXPECT_EQ(c.DataBuffer[0xFFFF], 0x00);
    EXPECT_EQ(c.DataKB, 4);
    EXPECT_EQ(c.DataSize, 4096);
    EXPECT_EQ(c.AutoDetect, 15);
    EXPECT_EQ(c.ChipInTime, 50);
    EXPECT_EQ(c.TakeOffTime, 50);
    EXPECT_EQ(c.PowerOnTime, 10);
    EXPECT_EQ(c.ClockDivisor, 10);
    EXPECT_EQ(c.ChecksumEnd, 4095u);
    EXPECT_EQ(c.ChipChosen, 0);
    EXPECT_EQ(c.DataLoaded, 0);
    for (TStringGrid *g : {&f.HexViewer, &f.ReadView}) {
        EXPECT_EQ(g->ColWidth(0), 70);
        EXPECT_EQ(g->ColWidth(17), 130);
        EXPECT_EQ(g->Cell(1, 0), "  0");
        EXPECT_EQ(g->Cell(11, 0), "  A");
        EXPECT_EQ(g->Cell(16, 0), "  F");
    }
    EXPECT_EQ(f.ProductEditX.Height, 22);
    EXPECT_FALSE(f.TabSheetRd.TabVisible);
    EXPECT_EQ(f.ViewPageCtrl.ActivePageIndex, 0);
    EXPECT_EQ(f.ComboBoxCOM.Text, "No Device Availiable");
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(c.ChannelComm[static_cast<size_t>(n - 1)], &r.Program.Comm(n));
        EXPECT_EQ(c.ChannelGauge[static_cast<size_t>(n - 1)], &f.GaugeBar(n));
        EXPECT_FALSE(r.Program.Comm(n).IsOpen());
    }
}

TEST(ProgramObject, PortsCarryTheWindowsDeclaredValues) {
    ProgramRig r;
    for (int n = 1; n <= 4; ++n) {
        TComm &p = r.Program.Comm(n);
        EXPECT_EQ(p.BaudRate(), 1000000u);
        EXPECT_EQ(p.StopBits(), TStopBits::_2);
        EXPECT_EQ(p.DtrControl(), TDtrControl::DtrDisable);
        EXPECT_EQ(p.RtsControl(), TRtsControl::RtsDisable);
        EXPECT_EQ(p.ReadIntervalTimeout(), 5u);
        EXPECT_FALSE(p.Inx_XonXoffFlow());
        EXPECT_EQ(p.XonChar(), '0');
        EXPECT_TRUE(p.OnReceiveData && p.OnReceiveError && p.OnRequestHangup);
    }
}

TEST(ProgramObject, ChoosingAChipRunsItsFamilySetupOnce) {
    ProgramRig r;
    r.Program.Show();
    VltContext &c = r.Ctx();
    TProgramVLT &f = r.Form();
    c.DataLoaded = 1;
    f.RadioGroupSpd.ItemIndex = 3;
    f.ChipSeltForm.Vt71151.Click(); // on the chip menu window: family 48
    EXPECT_EQ(f.InfoMemo.Lines.back(), r.Stamp + "Chip of \"Vt7115\" is Selected.Chip ID is 0xE9C0.");
    EXPECT_EQ(c.ChipName, "Vt7115");
    EXPECT_EQ(c.ChipChosen, 1);
    EXPECT_EQ(c.DataLoaded, 0);
    EXPECT_EQ(c.MemoryImageFlag, 0);
    EXPECT_EQ(f.SpinEditPowTM.Value(), 600); // the family's 60 x 10 ms
    EXPECT_EQ(f.EditDevAddr.Text(), "0x68");
    EXPECT_TRUE(f.SpdBtnOpen.Enabled);
    EXPECT_TRUE(f.SpdBtnSave.Enabled);
    EXPECT_TRUE(f.SpdBtnVerify.Visible);
    EXPECT_TRUE(f.CheckBoxPow.Visible);
    EXPECT_EQ(f.RadioGroupSpd.ItemIndex, 0); // back to 100 kHz

    // The same model again leaves the text, so nothing runs and the file stays loaded.
    c.DataLoaded = 1;
    const size_t lines = f.InfoMemo.Lines.size();
    f.ChipSeltForm.Vt71151.Click();
    EXPECT_EQ(f.InfoMemo.Lines.size(), lines);
    EXPECT_EQ(c.DataLoaded, 1);
}

TEST(ProgramObject, OtherFamiliesGetNoChipIdAndTheImageSetup) {
    ProgramRig r;
    r.Program.Show();
    VltContext &c = r.Ctx();
    c.ChipFamily = 80;
    c.DeviceAddress = 0x5;
    r.Form().MCUNameEdit.SetText("Image80");
    EXPECT_EQ(r.Form().InfoMemo.Lines.back(), r.Stamp + "Chip of \"Image80\" is Selected.");
    EXPECT_EQ(c.MemoryImageFlag, 1);
    EXPECT_EQ(r.Form().SpinEditPowTM.Value(), 100);
    EXPECT_EQ(r.Form().EditDevAddr.Text(), "0x05");
}

TEST(ProgramObject, ChipMenuButtonShowsTheMenuBesideTheField) {
    ProgramRig r;
    TProgramVLT &f = r.Form();
    f.Left = 100;
    f.Top = 50;
    const unsigned focus = f.Panel1.FocusRequests;
    f.DevButton.Click();
    EXPECT_EQ(r.Dialogs.Calls,
              (std::vector<RecordingDialogs::Call>{{Kind::ShowModal, f.ChipSeltForm.Caption}}));
    EXPECT_EQ(r.Ctx().ChipMenuX, f.DevButton.Left + 100 + f.DevButton.Width + 15);
    EXPECT_EQ(r.Ctx().ChipMenuY, f.GroupBoxSet.Top + 50 + 150);
    EXPECT_GT(f.Panel1.FocusRequests, focus);
}

TEST(ProgramObject, SmallHandlersOfTheWindow) {
    ProgramRig r;
    r.Program.Show();
    TProgramVLT &f = r.Form();
    f.CheckBoxAut.SetChecked(true);
    EXPECT_TRUE(f.SpinEditIn.Enabled && f.SpinEditOut.Enabled);
    f.CheckBoxAut.SetChecked(false);
    EXPECT_FALSE(f.SpinEditIn.Enabled || f.SpinEditOut.Enabled);

    // The clipboard gets LF line ends, also for a break inside a line (a file
    // name may carry one); the panel shows the whole text selected.
    f.AddInfoLine("a\rb");
    f.AddInfoLine("c\r\nd\ne");
    f.CopyInformation1.Click();
    EXPECT_EQ(r.Dialogs.Clipboard, f.InfoMemo.Lines[0] + "\n" + r.Stamp + "a\nb\n" + r.Stamp + "c\nd\ne\n");
    EXPECT_EQ(f.InfoMemo.SelText(), f.InfoMemo.Text());
    f.ClearInformation1.Click();
    EXPECT_TRUE(f.InfoMemo.Lines.empty()); // the greeting goes too
    f.AddInfoLine("next");
    EXPECT_EQ(f.InfoMemo.Lines, std::vector<std::string>{r.Stamp + "next"});

    f.SpdBtnSave.Click(); // the load and save handlers are wired as well
    EXPECT_EQ(r.Dialogs.Calls.back(), (RecordingDialogs::Call{Kind::Message, "No Data need to be Saved!"}));
    f.About1.Click();
    EXPECT_EQ(r.Dialogs.Calls.back(), (RecordingDialogs::Call{Kind::ShowModal, f.AboutForm.Caption}));
    f.SpdBtnExit.Click();
    f.Exit1.Click();
    EXPECT_EQ(r.Closes, 2);
}

TEST(ProgramObject, ConnectWithoutPortsLeavesNoChannelConnected) {
    ProgramRig r;
    r.Program.Show();
    VltContext &c = r.Ctx();
    c.ChannelConnected = {1, 1, 1, 1}; // bound before; their ports are gone now
    r.Form().BitBtnFindCOM.Click();
    EXPECT_EQ(c.ChannelConnected, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    c.DataLoaded = c.ChipChosen = 1;
    const size_t before = r.Form().InfoMemo.Lines.size();
    r.Form().SpdBtnDownLoad.Click();
    EXPECT_EQ(std::vector<std::string>(r.Form().InfoMemo.Lines.begin() + static_cast<long>(before),
                                       r.Form().InfoMemo.Lines.end()),
              (std::vector<std::string>{
                  r.Stamp + "Please Connect Device 1 !", r.Stamp + "Please Connect Device 2 !",
                  r.Stamp + "Please Connect Device 3 !", r.Stamp + "Please Connect Device 4 !"}));
    EXPECT_EQ(c.ChannelBusy, (std::array<uint8_t, 4>{0, 0, 0, 0}));
}

TEST(ProgramObject, KeyPressAndClosingReachTheirHandlers) {
    ProgramRig r;
    r.Program.Show();
    TProgramVLT &f = r.Form();
    const unsigned focus = f.Panel1.FocusRequests;
    char key = 'q';
    r.Program.KeyPress(key);
    EXPECT_GT(f.Panel1.FocusRequests, focus);

    const auto log = r.Dir / "closing.log";
    f.LogCfgForm.RadioGrpCreat.ItemIndex = 1; // the operator's file
    f.LogCfgForm.RadioGrpMod.ItemIndex = 1;   // overwrite
    f.LogCfgForm.EditLogName.SetText(log.string());
    r.Program.Closing();
    std::ifstream in(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, f.InfoMemo.Text());
}

TEST(ProgramObject, AFailedLogAtExitLeavesTheChannelsWorking) {
    ProgramRig r;
    r.Program.Show();
    VltContext &c = r.Ctx();
    TProgramVLT &f = r.Form();
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    TComm &port = r.Program.Comm(1);
    port.SetCommName(name);
    port.OpenPort();
    ASSERT_TRUE(port.IsOpen());
    c.ChannelConnected[0] = 1; // its programmer answered the probe

    int failed = 0, closed = 0;
    r.Program.OnCloseRequest = [&] { // as the window closes: an error box, the window stays
        try {
            r.Program.Closing();
            ++closed;
        } catch (const EInOutError &) {
            ++failed;
        }
    };
    f.LogCfgForm.RadioGrpCreat.ItemIndex = 1;
    f.LogCfgForm.EditLogName.SetText((r.Dir / "missing" / "mine.log").string());
    f.SpdBtnExit.Click();
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(closed, 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(c.ChannelConnected[0], 1);

    // The next command goes out on channel 1; only the unbound channels ask for a device.
    c.DataLoaded = c.ChipChosen = 1;
    const size_t before = f.InfoMemo.Lines.size();
    f.SpdBtnDownLoad.Click();
    EXPECT_EQ(c.ChannelBusy[0], 1);
    const std::vector<std::string> added(f.InfoMemo.Lines.begin() + static_cast<long>(before),
                                         f.InfoMemo.Lines.end());
    EXPECT_EQ(std::count(added.begin(), added.end(), r.Stamp + "Please Connect Device 1 !"), 0);
    EXPECT_EQ(std::count(added.begin(), added.end(), r.Stamp + "Please Connect Device 2 !"), 1);
    pollfd in{master, POLLIN, 0};
    ASSERT_EQ(::poll(&in, 1, 5000), 1) << "nothing sent on channel 1";
    uint8_t first = 0;
    ASSERT_EQ(::read(master, &first, 1), 1);
    EXPECT_EQ(first, 0xC0);

    // Named well, the log is written and the ports close with the window.
    f.LogCfgForm.EditLogName.SetText((r.Dir / "mine.log").string());
    f.Exit1.Click();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(std::filesystem::exists(r.Dir / "mine.log"));
    ::close(slave);
    ::close(master);
}
