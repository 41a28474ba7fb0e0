#include "fwupgrade/FirmWareUGForm.h"

namespace fwug {

namespace {

void Button(TButton &b, const char *caption, const char *hint, int left, int top, int width, int height) {
    b.Caption = caption;
    b.Hint = hint;
    b.SetBounds(left, top, width, height);
}

} // namespace

TAboutForm::TAboutForm() {
    Caption = "About";
    Width = 300;
    Height = 150;
    Position = TFormPosition::DesktopCenter;
    Resizable = false;
    MinimizeBox = false;
    MaximizeBox = false;
    ProductName.Caption = "Pelmor200XX Firmware Upgrade Wizard.";
    ProductName.SetBounds(24, 20, 252, 17);
    Version.Caption = "Version V1.5";
    Version.SetBounds(24, 48, 252, 17);
    OKButton.Caption = "OK";
    OKButton.SetBounds(112, 84, 75, 25);
}

TFirmWareUG::TFirmWareUG() {
    Caption = "Pelmor200ENX Firmware Upgrade Wizard";
    Width = 528;
    Height = 420;
    ClientSized = true;
    Position = TFormPosition::ScreenCenter;
    Resizable = false; // single border, system menu and minimise only
    MaximizeBox = false;
    ShowHint = true;

    Panel1.SetBounds(0, 0, 528, 52);
    Button(SpdBtnDownLoad, "下载更新", "下载目标程序到编程器的FLASH中", 4, 4, 84, 44);
    Button(SpdBtnVerify, "校验", "目标MCU编程结果校验", 90, 4, 84, 44);
    Button(SpdBtnExit, "退出", "Exit Application", 176, 4, 84, 44);
    for (TButton *b : {&SpdBtnDownLoad, &SpdBtnVerify, &SpdBtnExit})
        b->Flat = true;
    SpdBtnDownLoad.Enabled = false; // until a device is found
    SpdBtnVerify.Enabled = false;
    DevLabel.Caption = "设备......";
    DevLabel.SetBounds(268, 10, 252, 32);

    GroupBox1.Caption = "选择通讯设备";
    GroupBox1.SetBounds(8, 58, 512, 60);
    Label9.Caption = "选择通讯设备：";
    Label9.SetBounds(12, 26, 100, 17);
    ComboBoxCOM.Sorted = true;
    ComboBoxCOM.Text = "请选择通讯口......";
    ComboBoxCOM.SetBounds(116, 22, 176, 24);
    Button(BitBtnFind, "查找设备", "", 300, 20, 98, 28);
    Button(BitBtnFresh, "刷新列表", "", 404, 20, 98, 28);

    InfoMemo.ReadOnly = true;
    InfoMemo.VerticalScrollBar = true;
    InfoMemo.PopupMenu = &PopupMenu1;
    InfoMemo.SetBounds(8, 124, 512, 268);

    ProgressBar1.SetBounds(0, 400, 528, 20); // along the bottom edge
    ProgressBar1.SetProgress(0);

    Timer1.Interval = 20;
    Timer1.Enabled = false;

    File1.Caption = "&File";
    Exit1.Caption = "E&xit";
    File1.Items = {&Exit1};
    Execute1.Caption = "&Execute";
    Upgrade1.Caption = "&Upgrade";
    Verification1.Caption = "&Verification";
    Execute1.Items = {&Upgrade1, &Verification1};
    Help1.Caption = "&Help";
    About1.Caption = "About";
    Help1.Items = {&About1};
    MainMenu1.Items = {&File1, &Execute1, &Help1};

    ClearInfo1.Caption = "Clear Info";
    PopupMenu1.Items = {&ClearInfo1};
}

} // namespace fwug
