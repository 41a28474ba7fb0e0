#pragma once
// The log configuration dialog: whether and how the information panel is
// saved when the program ends. Its handlers are in app/LogCfg.
#include <cstdint>
#include <string>

#include "forms/Controls.h"

struct TLogCfgForm : TForm {
    TCheckBox CheckBoxLog;
    TRadioGroup RadioGrpCreat;
    TRadioGroup RadioGrpMod;
    TLabel Label1;
    TEdit EditLogName;
    TButton SpeedButtonOP;
    TButton OK;
    TFileDialog OpenDialogLog;

    TLogCfgForm() {
        Caption = "Config Log File.";
        Width = 573;
        Height = 375;
        Position = TFormPosition::MainFormCenter;
        Resizable = false;
        MinimizeBox = false;
        MaximizeBox = false;
        CheckBoxLog.SetBounds(32, 24, 200, 24);
        CheckBoxLog.Caption = "生成Logog文件";
        CheckBoxLog.SetChecked(true);
        RadioGrpCreat.SetBounds(32, 64, 240, 90);
        RadioGrpCreat.Caption = "RadioGrpCreat";
        RadioGrpCreat.Items = {"系统自动生成Logo文件", "客户指定Log文件"};
        RadioGrpCreat.ItemIndex = 0;
        RadioGrpMod.SetBounds(296, 64, 240, 110);
        RadioGrpMod.Caption = "RadioGroup1";
        RadioGrpMod.Items = {"生成新的文件", "覆盖原文件", "追加到原文件尾部"};
        RadioGrpMod.ItemIndex = 0;
        RadioGrpMod.Enabled = false;
        Label1.SetBounds(32, 200, 160, 20);
        Label1.Caption = "指定Log文件名：       ";
        EditLogName.SetBounds(32, 224, 420, 24);
        EditLogName.SetText("VLT_2018xx.log");
        EditLogName.Enabled = false;
        SpeedButtonOP.SetBounds(464, 222, 72, 28);
        SpeedButtonOP.Caption = "浏览";
        SpeedButtonOP.Enabled = false;
        OK.SetBounds(232, 290, 100, 32);
        OK.Caption = "OK";
        OpenDialogLog.DefaultExt = "*.log";
        OpenDialogLog.Filter = "All Log Files(*.Log,*.Txt)|*.log;*.Txt";
        OpenDialogLog.FileMustExist = false; // the log is written at close: a new name is fine
    }

    bool LogEnabled() const { return CheckBoxLog.Checked(); }
    bool AutoLogName() const { return RadioGrpCreat.ItemIndex == 0; }
    uint8_t LogWriteMode() const { return static_cast<uint8_t>(RadioGrpMod.ItemIndex); }
    std::string GetLogFileName() const { return EditLogName.Text(); }
};
