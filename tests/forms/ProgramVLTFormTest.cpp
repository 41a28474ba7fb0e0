#include <gtest/gtest.h>

#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"

TEST(ProgramVLTForm, AddInfoLineReadsTheClockOnceForDateAndOnceForTime) {
    TProgramVLT form;
    TFixedClock clock({2026, 12, 7, 23, 59, 59, 0});
    clock.StepSeconds = 1; // the second read sees the next second: the next day
    form.Clock = &clock;
    form.AddInfoLine("Chip of \"Vt7115\" is Selected.");
    form.AddInfoLine("");
    ASSERT_EQ(form.InfoMemo.Lines.size(), 2u);
    EXPECT_EQ(form.InfoMemo.Lines[0], "> 2026-12-07 00:00:00 Chip of \"Vt7115\" is Selected.");
    EXPECT_EQ(form.InfoMemo.Lines[1], "> 2026-12-08 00:00:02 ");
}

TEST(ProgramVLTForm, StartStatesLaterCodeReliesOn) {
    TProgramVLT f;
    EXPECT_EQ(f.MCUNameEdit.Text(), "Please Select Chip...");
    EXPECT_TRUE(f.MCUNameEdit.ReadOnly);
    EXPECT_EQ(f.EditDevAddr.Text(), "0x00");
    EXPECT_EQ(f.RadioGpVolt.ItemIndex, 2);
    EXPECT_FALSE(f.RadioGpVolt.Enabled);
    EXPECT_EQ(f.RadioGroupSpd.ItemIndex, 0);
    EXPECT_FALSE(f.RadioGrpPIF.Enabled);
    EXPECT_TRUE(f.CheckBoxPow.Checked());
    EXPECT_TRUE(f.ChkBoxVfyE1.Checked());
    EXPECT_FALSE(f.ChkBoxVfyE1.Visible);
    EXPECT_FALSE(f.ChkBoxIgChip.Visible);
    EXPECT_FALSE(f.CheckBoxAut.Checked());
    EXPECT_EQ(f.SpinEditNumb.Value(), 1000);
    EXPECT_EQ(f.SpinEditPowTM.Value(), 100);
    EXPECT_EQ(f.SpinEditIn.Value(), 500);
    EXPECT_TRUE(f.SpinEditIn.Enabled);
    EXPECT_EQ(f.SpinEditOut.MaxValue, 2000);
    EXPECT_EQ(f.SpinEditOut.Increment, 10);
    EXPECT_EQ(f.InfoPanel.Caption, "Device = ??????");
    EXPECT_TRUE(f.InfoMemo.Lines.empty());
    EXPECT_EQ(f.ViewPageCtrl.ActivePageIndex, 0);
    EXPECT_EQ(f.Timer1.Interval, 10);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_FALSE(f.DevSpdBtn(n).Enabled) << n;
        EXPECT_EQ(f.GaugeBar(n).ForeColor, TColor::Blue) << n;
        EXPECT_EQ(f.GaugeBar(n).Progress(), 0) << n;
    }
    for (const TStringGrid *g : {&f.HexViewer, &f.ReadView}) {
        EXPECT_EQ(g->ColCount, 18);
        EXPECT_EQ(g->RowCount(), 2);
    }
    EXPECT_THROW(f.GaugeBar(0), std::out_of_range);
    EXPECT_THROW(f.DevSpdBtn(5), std::out_of_range);
}

TEST(ProgramVLTForm, MenusCarryTheirShortCuts) {
    TProgramVLT f;
    std::vector<std::pair<std::string, std::string>> seen;
    for (const TMenuItem *top : f.MainMenu1.Items)
        for (const TMenuItem *m : top->Items)
            if (!m->ShortCut.empty())
                seen.emplace_back(m->Caption, m->ShortCut);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"&Load Data File", "Ctrl+L"}, {"&Save Buffer To File", "Ctrl+S"},
        {"E&xit", "Ctrl+X"},           {"&Download To Programmer", "Ctrl+D"},
        {"&Programming", "F7"},        {"&Verification", "F8"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(f.InfoMemo.PopupMenu, &f.PopupMenu2);
}

TEST(ChipSeltForm, ElevenModelsFiveOfThemHidden) {
    TChipSeltForm f;
    ASSERT_EQ(f.PopupMenuXF.Items.size(), 11u);
    std::vector<std::string> shown;
    for (const TMenuItem *m : f.PopupMenuXF.Items)
        if (m->Visible)
            shown.push_back(m->Caption.Get() + "/" + std::to_string(m->Tag));
    EXPECT_EQ(shown, (std::vector<std::string>{"Vt7115/2", "Vt7117/16", "Vt7127/17", "Vt7125/5", "Vt7129/6",
                                               "Vt7131/32"}));
    EXPECT_FALSE(f.PopupMenuXF.AutoHotkeys);
}

TEST(LogCfgForm, StartsWithAutomaticNameAndControlsOfTheOperatorsFileDisabled) {
    TLogCfgForm f;
    EXPECT_TRUE(f.LogEnabled());
    EXPECT_TRUE(f.AutoLogName());
    EXPECT_EQ(f.LogWriteMode(), 0);
    EXPECT_EQ(f.GetLogFileName(), "VLT_2018xx.log");
    EXPECT_FALSE(f.RadioGrpMod.Enabled);
    EXPECT_FALSE(f.EditLogName.Enabled);
    EXPECT_FALSE(f.SpeedButtonOP.Enabled);
    EXPECT_TRUE(f.RadioGrpCreat.Enabled);
}
