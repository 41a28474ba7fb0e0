#include <gtest/gtest.h>

#include "forms/RecordingDialogs.h"

using Kind = RecordingDialogs::Kind;

TEST(RecordingDialogs, RecordsCallsInOrderAndAnswersFileDialogsFromTheScript) {
    RecordingDialogs d;
    TFileDialog save;
    save.Filter = "All Log Files(*.Log)|*.log";
    d.FileAnswers = {std::string("/tmp/a.log"), std::nullopt};
    d.BeepInformation("Operation Success!");
    EXPECT_EQ(d.SaveFile(save), std::optional<std::string>("/tmp/a.log"));
    EXPECT_EQ(save.FileName, "/tmp/a.log");
    EXPECT_EQ(d.SaveFile(save), std::nullopt);
    EXPECT_EQ(d.OpenFile(save), std::nullopt); // script used up: cancelled
    d.Error("Packet Error!");
    d.SetClipboardText("x\r\n");
    const std::vector<RecordingDialogs::Call> expected = {
        {Kind::Beep, ""},
        {Kind::Information, "Operation Success!"},
        {Kind::SaveFile, "All Log Files(*.Log)|*.log"},
        {Kind::SaveFile, "All Log Files(*.Log)|*.log"},
        {Kind::OpenFile, "All Log Files(*.Log)|*.log"},
        {Kind::Error, "Packet Error!"},
        {Kind::Clipboard, "x\r\n"},
    };
    EXPECT_EQ(d.Calls, expected);
    EXPECT_EQ(d.Clipboard, "x\r\n");
}

TEST(RecordingDialogs, RunsCodeWhileAModalBoxOrFormIsOpen) {
    RecordingDialogs d;
    TForm form;
    form.Caption = "Chip Selection";
    std::vector<std::string> during;
    d.WhileOpen = [&](const RecordingDialogs::Call &c) {
        during.push_back(c.text + (form.Showing ? " (form showing)" : ""));
    };
    d.Message("Write Log File error!");
    d.ShowModal(form);
    EXPECT_FALSE(form.Showing);
    EXPECT_EQ(during, (std::vector<std::string>{"Write Log File error!", "Chip Selection (form showing)"}));
}
