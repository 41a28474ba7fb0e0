#pragma once
// The gang programmer's main window as plain state: every control by its
// name, with the captions, hints, start states and ranges the window is
// designed with. Handlers (free functions in app/) read and write it; the Qt
// window builds its widgets from it and shows it again after every event.
// It also owns the program's three other windows.
#include <array>
#include <string>

#include "forms/AboutForm.h"
#include "forms/ChipSeltForm.h"
#include "forms/Controls.h"
#include "forms/LogCfgForm.h"

class TClock;

struct TProgramVLT : TForm {
    TProgramVLT();

    // Toolbar.
    TPanel Panel1;
    TButton SpdBtnExit, SpdBtnOpen, SpdBtnSave, SpdBtnDownLoad, SpdButtnRdInfo, SpdBtnProg, SpeedButtonRD,
        SpdBtnVerify;
    TImage Image1;
    TEdit ProductEditX;

    // Pages.
    TPageControl ViewPageCtrl;
    TTabSheet TabSheetChip, TabSheetFlash, TabSheetRd;

    // "Chip Setting" page, left column: the setting group.
    TPanel GroupBoxSet;
    TLabel LabelChipType;
    TEdit MCUNameEdit;
    TButton DevButton;
    TRadioGroup RadioGpVolt, RadioGroupSpd, RadioGrpPIF;
    TCheckBox ChkBoxIgChip, ChkBoxEnGenc, ChkBoxVfyE1, CheckBoxPow, ChkBoxNumb;
    TSpinEdit SpinEditNumb;
    TLabel LabelPowTM;
    TSpinEdit SpinEditPowTM;
    TCheckBox CheckBoxAut;
    TLabel LabelDevAddr;
    TEdit EditDevAddr;
    TLabel LabelIn;
    TSpinEdit SpinEditIn;
    TLabel LabelOut;
    TSpinEdit SpinEditOut;
    TEdit EditFilName; // hidden: the loaded file's name

    // Port group.
    TPanel GroupBoxPort;
    TLabel LabelDevice;
    TComboBox ComboBoxCOM;
    TButton BitBtnFresh, BitBtnFindCOM;

    // "Chip Setting" page, right part.
    TPanel InfoPanel;
    TMemo InfoMemo;
    TButton DevSpdBtn1, DevSpdBtn2, DevSpdBtn3, DevSpdBtn4;
    TGauge GaugeBar1, GaugeBar2, GaugeBar3, GaugeBar4;

    // Buffer viewers.
    TStringGrid HexViewer, ReadView;

    TFileDialog OpenDialog1, SaveDialog1, SaveDialogPrj;
    TTimer Timer1;

    TMainMenu MainMenu1;
    TMenuItem File1, Execute1, SaveFile1, SaveReadOutDatatoFile1, N1, CfgLog, SaveInfotoFile2, N2, Exit1;
    TMenuItem Command1, Download1, N3, Programming1, VeriufyDownload1, ReadChip1, ReadChipInformation1;
    TMenuItem Help1, About1;

    TPopupMenu PopupMenu2;
    TMenuItem ClearInformation1, CopyInformation1, SaveInfotoFile1;

    // The other windows of the program.
    TAboutForm AboutForm;
    TChipSeltForm ChipSeltForm;
    TLogCfgForm LogCfgForm;

    // Gives the date and time of the memo lines; set by whoever creates the form.
    TClock *Clock = nullptr;

    // Channel n (1..4) controls.
    TButton &DevSpdBtn(int n);
    TGauge &GaugeBar(int n);

    // Appends "> " + date + " " + time + " " + msg to InfoMemo.
    void AddInfoLine(const std::string &msg);
};
