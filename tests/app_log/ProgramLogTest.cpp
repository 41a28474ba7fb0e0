// The log items and the log dialog as the program object wires them, without
// any window on top.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/VltProgram.h"
#include "forms/ProgramVLTForm.h"
#include "forms/RecordingDialogs.h"
#include "platform/Clock.h"
#include "platform/EventQueue.h"
#include "state/VltContext.h"

using Kind = RecordingDialogs::Kind;

namespace {

struct ProgramLog : ::testing::Test {
    TPumpQueue Queue;
    RecordingDialogs Dialogs;
    TFixedClock Clock{TDateTime{2026, 12, 7, 22, 15, 3, 0}};
    TVltProgram Program{Queue, Dialogs, Clock};
    std::filesystem::path Dir;

    ProgramLog() {
        Dir = std::filesystem::temp_directory_path() /
              ("pelmor_proglog_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
        Program.ProgramPath = (Dir / "Pelmor200VLT").string();
        Program.PortScan.DeviceMap = [] { return TSerialDeviceMap{}; };
        Program.PortScan.Pause = [](unsigned) {};
        Program.Show();
    }
    ~ProgramLog() override { std::filesystem::remove_all(Dir); }

    TProgramVLT &Form() { return Program.Form(); }
    static std::string Read(const std::filesystem::path &p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

} // namespace

TEST_F(ProgramLog, ConfigMenuOpensADialogWhoseControlsWork) {
    TLogCfgForm &cfg = Form().LogCfgForm;
    const auto file = Dir / "chosen.log";
    bool wasOpen = false, closedByOk = false;
    Dialogs.WhileOpen = [&](const RecordingDialogs::Call &c) {
        if (c.kind != Kind::ShowModal || c.text != cfg.Caption)
            return;
        wasOpen = cfg.Showing;
        cfg.RadioGrpCreat.ItemIndex = 1;
        cfg.RadioGrpCreat.OnClick();
        EXPECT_TRUE(cfg.RadioGrpMod.Enabled && cfg.SpeedButtonOP.Enabled && cfg.EditLogName.Enabled);
        cfg.RadioGrpCreat.ItemIndex = 0;
        cfg.RadioGrpCreat.OnClick();
        cfg.RadioGrpCreat.ItemIndex = 1;
        cfg.RadioGrpCreat.OnClick();
        cfg.OK.Click(); // the name was emptied: OK asks for one
        EXPECT_TRUE(cfg.Showing);
        Dialogs.FileAnswers = {file.string()};
        cfg.SpeedButtonOP.Click();
        cfg.RadioGrpMod.ItemIndex = 2;
        cfg.OK.Click();
        closedByOk = !cfg.Showing;
    };
    Form().CfgLog.Click();
    EXPECT_TRUE(wasOpen);
    EXPECT_TRUE(closedByOk);
    EXPECT_EQ(Dialogs.Texts(Kind::Message), std::vector<std::string>{"请输入有效的Log文件名称！"});

    cfg.CheckBoxLog.SetChecked(false);
    EXPECT_FALSE(cfg.RadioGrpCreat.Enabled || cfg.RadioGrpMod.Enabled || cfg.SpeedButtonOP.Enabled ||
                 cfg.EditLogName.Enabled);
    cfg.CheckBoxLog.SetChecked(true);
    Program.Closing();
    EXPECT_EQ(Read(file), "Corvane Log File!\r\n" + Form().InfoMemo.Text());
}

TEST_F(ProgramLog, BothSaveItemsWriteThePanel) {
    struct Case {
        const char *item;
        TMenuItem *menu;
    };
    const Case cases[] = {{"menu Save Info to File", &Form().SaveInfotoFile2},
                          {"popup Save Information to File", &Form().SaveInfotoFile1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.item);
        const auto file = Dir / (std::string(c.item) + ".log");
        Dialogs.FileAnswers = {file.string()};
        c.menu->Click();
        EXPECT_EQ(Read(file), Form().InfoMemo.Text());
        EXPECT_FALSE(Form().InfoMemo.Lines.empty());
    }
}

// The close is refused when the automatic name's log cannot be written; the
// operator keeps the panel elsewhere, turns the log off and closes again.
TEST_F(ProgramLog, AfterARefusedCloseThePanelCanBeSavedAndTheLogTurnedOff) {
    for (int i = 0; i < 7; ++i)
        Form().InfoMemo.Add("> result " + std::to_string(i));
    std::filesystem::remove_all(Dir / "Log");
    std::ofstream(Dir / "Log") << "not a folder\n";
    int refused = 0, closed = 0;
    Program.OnCloseRequest = [&] { ++(Program.Closing() ? closed : refused); }; // as the window does
    Form().SpdBtnExit.Click();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(closed, 0);
    const auto texts = Dialogs.Texts(Kind::Message);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].substr(0, texts[0].find('\n')), "Write Log File error!");

    const auto kept = Dir / "kept.log";
    Dialogs.FileAnswers = {kept.string()};
    Form().SaveInfotoFile2.Click();
    EXPECT_EQ(Read(kept), Form().InfoMemo.Text());

    Dialogs.WhileOpen = [&](const RecordingDialogs::Call &c) {
        if (c.kind == Kind::ShowModal && c.text == Form().LogCfgForm.Caption) {
            Form().LogCfgForm.CheckBoxLog.SetChecked(false);
            Form().LogCfgForm.OK.Click();
        }
    };
    Form().CfgLog.Click();
    Form().Exit1.Click();
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(Dialogs.Texts(Kind::Message).size(), 1u);
}
