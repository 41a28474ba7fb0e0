#pragma once
// The upgrade tool's main window TFirmWareUG and its About box as plain state:
// every component by its name, with the captions, hints and start states the
// window is designed with. Handlers read and write it; the Qt window builds
// its widgets from it and shows it again after every event.
#include "forms/Controls.h"

namespace fwug {

struct TAboutForm : TForm {
    TAboutForm();
    TLabel ProductName;
    TLabel Version;
    TButton OKButton;
};

struct TFirmWareUG : TForm {
    TFirmWareUG();

    TGauge ProgressBar1;
    TMemo InfoMemo;
    TPanel Panel1;
    TButton SpdBtnDownLoad, SpdBtnVerify, SpdBtnExit;
    TPanel DevLabel;
    TPanel GroupBox1; // a group box: a frame with its caption; holds the next four
    TLabel Label9;
    TComboBox ComboBoxCOM;
    TButton BitBtnFind, BitBtnFresh;
    // 20 ms; runs only while an upgrade or a verify waits for its reply.
    TTimer Timer1;

    TMainMenu MainMenu1;
    TMenuItem File1, Exit1;
    TMenuItem Execute1, Upgrade1, Verification1; // "&Verification" has no handler
    TMenuItem Help1, About1;

    TPopupMenu PopupMenu1;
    TMenuItem ClearInfo1;
};

} // namespace fwug
