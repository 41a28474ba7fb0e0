#include "app/LogCfg.h"

#include "LogFixture.h"

using Kind = RecordingDialogs::Kind;

class LogCfg : public LogFixture {
protected:
    LogCfg() : cfg(form.LogCfgForm) { WireLogCfgForm(ctx, cfg); }
    // What the view does when the user picks an item.
    void PickCreat(int item) {
        cfg.RadioGrpCreat.ItemIndex = item;
        cfg.RadioGrpCreat.OnClick();
    }
    std::vector<bool> Enabled() const {
        return {cfg.RadioGrpCreat.Enabled, cfg.RadioGrpMod.Enabled, cfg.SpeedButtonOP.Enabled,
                cfg.EditLogName.Enabled};
    }
    TLogCfgForm &cfg;
};

TEST_F(LogCfg, LoggingCheckBoxSwitchesAllFourControlsWhateverTheNameChoice) {
    cfg.CheckBoxLog.SetChecked(false);
    EXPECT_EQ(Enabled(), (std::vector<bool>{false, false, false, false}));
    cfg.CheckBoxLog.SetChecked(true);
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true}));
    EXPECT_TRUE(cfg.AutoLogName());
}

TEST_F(LogCfg, NameChoiceSetsModeAndNameField) {
    PickCreat(1);
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, true, true, true}));
    cfg.RadioGrpMod.ItemIndex = 2;
    cfg.EditLogName.SetText("/tmp/x.log");
    PickCreat(1);
    EXPECT_EQ(cfg.LogWriteMode(), 0);
    EXPECT_EQ(cfg.GetLogFileName(), "/tmp/x.log");

    PickCreat(0);
    EXPECT_EQ(Enabled(), (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(cfg.GetLogFileName(), "");
}

TEST_F(LogCfg, OkAsksForANameOnlyForTheOperatorsFile) {
    dialogs.WhileOpen = [&](const RecordingDialogs::Call &c) {
        if (c.kind != Kind::ShowModal)
            return;
        // Back and forth empties the name: OK keeps the dialog open.
        PickCreat(1);
        PickCreat(0);
        PickCreat(1);
        const unsigned focus = cfg.EditLogName.FocusRequests;
        cfg.OK.Click();
        EXPECT_TRUE(cfg.Showing);
        EXPECT_EQ(cfg.EditLogName.FocusRequests, focus + 1);
        dialogs.FileAnswers = {std::string("/var/log/line3.log")};
        cfg.SpeedButtonOP.Click();
        cfg.OK.Click();
        EXPECT_FALSE(cfg.Showing);
    };
    CfgLogClick(ctx);
    EXPECT_EQ(dialogs.Calls, (std::vector<RecordingDialogs::Call>{
                                 {Kind::ShowModal, "Config Log File."},
                                 {Kind::Message, "请输入有效的Log文件名称！"},
                                 {Kind::OpenFile, "All Log Files(*.Log,*.Txt)|*.log;*.Txt"}}));
    EXPECT_EQ(cfg.GetLogFileName(), "/var/log/line3.log");
    // The log is written at close: Browse takes a name that does not exist yet.
    ASSERT_EQ(dialogs.FileDialogs.size(), 1u);
    EXPECT_FALSE(dialogs.FileDialogs[0].FileMustExist);
}

TEST_F(LogCfg, OkClosesWithTheAutomaticNameAndBrowseCancelKeepsTheName) {
    cfg.Showing = true;
    cfg.SpeedButtonOP.Enabled = true;
    cfg.SpeedButtonOP.Click(); // cancelled
    EXPECT_EQ(cfg.GetLogFileName(), "VLT_2018xx.log");
    cfg.OK.Click();
    EXPECT_FALSE(cfg.Showing);
    EXPECT_EQ(dialogs.Texts(Kind::Message), std::vector<std::string>{});
}
