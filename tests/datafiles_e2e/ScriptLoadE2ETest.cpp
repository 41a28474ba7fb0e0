// A family-48 script loaded through the Load button, then downloaded,
// programmed and verified against a simulated programmer.
#include <fstream>

#include "chips/ChipMenu.h"
#include "platform/Errors.h"
#include "tests/e2e/GangRig.h"

namespace {

using Kind = RecordingDialogs::Kind;

const char *kScript = "import time\n"
                      "# GENERIC: begin\n"
                      "i2c.i2cw(0x50, 0xFF, 0x00)\n"
                      "i2c.i2cw(0x50, 0x21, 0x5A)\n"
                      "time.sleep(5e-3)\n"
                      "# Efuse Write\n"
                      "i2c.i2cw(0x50, 0x24, 0x66)\n";
// The records of that script, written out by hand.
const std::vector<uint8_t> kRecords = {0x10, 0x50, 0xFF, 0x00, 0x10, 0x50, 0x21, 0x5A,
                                       0xF0, 0x00, 0x13, 0x88, 0x35, 0x50, 0x24, 0x66};

struct ScriptRig : GangRig {
    ScriptRig() : GangRig(1) {}
    size_t Successes() {
        return static_cast<size_t>(std::count_if(Lines().begin(), Lines().end(), [](const std::string &l) {
            return l.find("Device 1 : Operation Success!") != std::string::npos;
        }));
    }
    // Runs a command button until its closing packet has been answered and the channel is idle again.
    bool Run(TButton &button, uint8_t lastCommand) {
        button.Click();
        return PumpUntil([&] {
            const auto cmds = Dev(1).Commands();
            return Idle(1) && !cmds.empty() && cmds.back() == lastCommand &&
                   Dev(1).Counters().Replies == cmds.size();
        });
    }
    std::string WriteFile(const std::string &name, const std::string &text) {
        const auto p = (Dir / name).string();
        std::ofstream(p) << text;
        return p;
    }
};

TEST(ScriptLoadEndToEnd, RecordsOnTheWireAreThoseOfTheFile) {
    ScriptRig rig;
    rig.ShowAndConnect();
    Vt71151Click(rig.Ctx(), rig.Form().ChipSeltForm);
    ASSERT_EQ(rig.Ctx().ChipFamily, 48);

    const auto path = rig.WriteFile("chip.py", kScript);
    rig.Dialogs.FileAnswers.push_back(path);
    rig.Form().SpdBtnOpen.Click();
    ASSERT_EQ(rig.Ctx().DataLoaded, 1);
    EXPECT_EQ(rig.Ctx().RecordCount, 4);
    EXPECT_EQ(rig.Form().EditFilName.Text(), "chip.py");

    // Download: the data block carries the records, then the cleared bytes.
    ASSERT_TRUE(rig.Run(rig.Form().SpdBtnDownLoad, 0x8A));
    std::vector<uint8_t> block = kRecords;
    block.resize(4096, 0x00);
    EXPECT_EQ(rig.Dev(1).DownloadedBlock(0), block);

    // Program: the full packet carries the same records after its settings block.
    ASSERT_TRUE(rig.Run(rig.Form().SpdBtnProg, 0x86));
    std::vector<uint8_t> program;
    for (const auto &p : rig.Dev(1).ReceivedPackets())
        if (p.Command() == 0x95)
            program = p.Bytes;
    ASSERT_GE(program.size(), 8u + 128 + kRecords.size());
    EXPECT_EQ(std::vector<uint8_t>(program.begin() + 8 + 128, program.begin() + 8 + 128 + 16), kRecords);
    EXPECT_EQ(rig.Dev(1).Register(0x0021), 0x5A);

    const size_t before = rig.Successes();
    ASSERT_TRUE(rig.Run(rig.Form().SpdBtnVerify, 0x9B));
    EXPECT_TRUE(rig.PumpUntil([&] { return rig.Successes() > before; }));
    EXPECT_TRUE(std::any_of(rig.Lines().begin(), rig.Lines().end(), [](const std::string &l) {
        return l.find("Device 1 : Chip Verify Success!") != std::string::npos;
    }));
    EXPECT_TRUE(rig.Dialogs.Texts(Kind::Error).empty());
}

TEST(ScriptLoadEndToEnd, AFailedLoadSendsNothing) {
    ScriptRig rig;
    rig.ShowAndConnect();
    Vt71151Click(rig.Ctx(), rig.Form().ChipSeltForm);
    rig.Dialogs.FileAnswers.push_back(rig.WriteFile("bad.py", "import time\ni2c.i2cw(0x50, 0x21, 5A)\n"));
    // The window's error display would show this; the load counts as failed.
    EXPECT_THROW(rig.Form().SpdBtnOpen.Click(), EConvertError);
    EXPECT_EQ(rig.Ctx().DataLoaded, 0);
    const size_t packets = rig.Dev(1).PacketCount();
    rig.Dialogs.Calls.clear();
    rig.Form().SpdBtnProg.Click();
    rig.Form().SpdBtnDownLoad.Click();
    EXPECT_EQ(rig.Dialogs.Texts(Kind::Information),
              (std::vector<std::string>{"Please load Object File!", "Please load Object File!"}));
    EXPECT_EQ(rig.Dev(1).PacketCount(), packets);
}

} // namespace
