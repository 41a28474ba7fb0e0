#include "forms/ProgramVLTForm.h"

#include <stdexcept>

#include "platform/Clock.h"

namespace {

void Button(TButton &b, const char *caption, const char *hint, int left, int top, int width, int height) {
    b.Caption = caption;
    b.Hint = hint;
    b.SetBounds(left, top, width, height);
}

void Item(TMenuItem &m, const char *caption, const char *shortcut = "") {
    m.Caption = caption;
    m.ShortCut = shortcut;
}

void Spin(TSpinEdit &s, int min, int max, int step, int value) {
    s.MinValue = min;
    s.MaxValue = max;
    s.Increment = step;
    s.SetValue(value);
}

void Grid(TStringGrid &g) {
    g.ColCount = 18;
    g.DefaultColWidth = 25;
    g.DefaultRowHeight = 20;
    g.SetRowCount(2);
    g.VerticalScrollBar = true;
    g.FontColor = TColor::Navy;
    g.SetBounds(0, 0, 936, 472);
}

} // namespace

TProgramVLT::TProgramVLT() {
    Caption = "Pelmor200VLT Chip Programmer";
    Width = 952;
    Height = 629;
    Position = TFormPosition::ScreenCenter;
    MaximizeBox = false;
    Resizable = false;
    ShowHint = true;

    // Toolbar: eight flat buttons, then the picture at the right end.
    Panel1.SetBounds(0, 0, 944, 49);
    struct Tool {
        TButton *b;
        const char *caption, *hint;
        int width;
    };
    const Tool tools[] = {
        {&SpdBtnExit, "E&xit", "Exit Application", 62},
        {&SpdBtnOpen, "&Load", "Load Object File", 62},
        {&SpdBtnSave, "&Save", "Save as Binary File", 62},
        {&SpdBtnDownLoad, "Download", "Download all data to programming", 92},
        {&SpdButtnRdInfo, "Read Chip Info", "Read Chip data", 104},
        {&SpdBtnProg, "&Program", "Do Programming", 92},
        {&SpeedButtonRD, "Read Chip ", "Read Chip data", 92},
        {&SpdBtnVerify, "&Verify", "Do Data verification", 92},
    };
    int x = 4;
    for (const auto &t : tools) {
        Button(*t.b, t.caption, t.hint, x, 2, t.width, 45);
        t.b->Flat = true;
        x += t.width + 2;
    }
    Image1.SetBounds(700, 2, 240, 45);
    Image1.Stretch = true;
    Image1.Picture = "toolbar";

    ProductEditX.ReadOnly = true;
    ProductEditX.SetBounds(328, 52, 612, 21);

    ViewPageCtrl.SetBounds(0, 76, 944, 504);
    TabSheetChip.Caption = "Chip Setting ";
    TabSheetFlash.Caption = "View Buffer";
    TabSheetRd.Caption = "Read Buffer";
    ViewPageCtrl.Pages = {&TabSheetChip, &TabSheetFlash, &TabSheetRd};
    ViewPageCtrl.ActivePageIndex = 0;

    // Setting group.
    GroupBoxSet.SetBounds(4, 2, 318, 424);
    LabelChipType.Caption = "Chip Type:  ";
    LabelChipType.SetBounds(8, 18, 70, 20);
    MCUNameEdit.ReadOnly = true;
    MCUNameEdit.MaxLength = 16;
    MCUNameEdit.FontBold = true;
    MCUNameEdit.SetText("Please Select Chip...");
    MCUNameEdit.SetBounds(80, 14, 180, 24);
    DevButton.SetBounds(266, 14, 40, 24);

    RadioGpVolt.Caption = "Voltage";
    RadioGpVolt.Items = {"3.3V", "5.0V", "2.5V"};
    RadioGpVolt.ItemIndex = 2;
    RadioGpVolt.Enabled = false;
    RadioGpVolt.SetBounds(8, 44, 146, 88);
    RadioGroupSpd.Caption = "Clock Speed";
    RadioGroupSpd.Items = {"CLK=100KHz", "CLK=200KHz", "CLK=400KHz", "CLK=800KHz", "CLK=1MHz"};
    RadioGroupSpd.ItemIndex = 0;
    RadioGroupSpd.Enabled = false;
    RadioGroupSpd.SetBounds(160, 44, 150, 150);
    RadioGrpPIF.Caption = "Interface";
    RadioGrpPIF.Items = {"Use I2C", "Use SPI"};
    RadioGrpPIF.ItemIndex = 0;
    RadioGrpPIF.Enabled = false;
    RadioGrpPIF.SetBounds(8, 136, 146, 58);

    ChkBoxIgChip.Caption = "Ignore to Match Chip Type";
    ChkBoxIgChip.Visible = false;
    ChkBoxIgChip.SetBounds(8, 196, 300, 20);
    ChkBoxEnGenc.Caption = "第二次允许烧写Generic区";
    ChkBoxEnGenc.FontColor = TColor::Red;
    ChkBoxEnGenc.SetBounds(8, 216, 300, 20);
    ChkBoxVfyE1.Caption = "Ignore PMBus Verify";
    ChkBoxVfyE1.SetChecked(true);
    ChkBoxVfyE1.Visible = false;
    ChkBoxVfyE1.SetBounds(8, 236, 300, 20);
    CheckBoxPow.Caption = "Shut VDD Out After Programmed";
    CheckBoxPow.SetChecked(true);
    CheckBoxPow.SetBounds(8, 256, 300, 20);
    ChkBoxNumb.Caption = "Quantity Limited:  ";
    ChkBoxNumb.SetBounds(8, 280, 140, 20);
    Spin(SpinEditNumb, 0, 1000000, 10, 1000);
    SpinEditNumb.SetBounds(160, 278, 110, 22);
    LabelPowTM.Caption = "Power On Time(ms):   ";
    LabelPowTM.SetBounds(8, 306, 140, 20);
    Spin(SpinEditPowTM, 10, 1000, 10, 100);
    SpinEditPowTM.SetBounds(160, 302, 110, 22);
    CheckBoxAut.Caption = "Chip Auto-Detected ";
    CheckBoxAut.SetBounds(8, 328, 300, 20);
    LabelDevAddr.Caption = "Device Address :  ";
    LabelDevAddr.SetBounds(8, 352, 140, 20);
    EditDevAddr.MaxLength = 4;
    EditDevAddr.SetText("0x00");
    EditDevAddr.SetBounds(160, 348, 110, 22);
    LabelIn.Caption = "Chip In Time(ms):   ";
    LabelIn.SetBounds(8, 376, 140, 20);
    Spin(SpinEditIn, 300, 1500, 10, 500);
    SpinEditIn.SetBounds(160, 372, 110, 22);
    LabelOut.Caption = "Take Off Time(ms):  ";
    LabelOut.SetBounds(8, 400, 140, 20);
    Spin(SpinEditOut, 300, 2000, 10, 500);
    SpinEditOut.SetBounds(160, 396, 110, 22);
    EditFilName.Visible = false;

    GroupBoxPort.SetBounds(4, 428, 318, 44);
    LabelDevice.Caption = "Device:   ";
    LabelDevice.SetBounds(6, 14, 46, 20);
    ComboBoxCOM.Text = "Select COM Port......";
    ComboBoxCOM.SetBounds(50, 10, 74, 24);
    Button(BitBtnFresh, "Fresh Device", "", 126, 8, 84, 28);
    Button(BitBtnFindCOM, "Connnect Device", "", 212, 8, 104, 28);

    // Right part: device line, information panel, channel rows.
    InfoPanel.Caption = "Device = ??????";
    InfoPanel.FontColor = TColor::Red;
    InfoPanel.FontBold = true;
    InfoPanel.SetBounds(328, 2, 608, 26);
    InfoMemo.ReadOnly = true;
    InfoMemo.VerticalScrollBar = true;
    InfoMemo.FontColor = TColor::Blue;
    InfoMemo.FontName = "宋体";
    InfoMemo.PopupMenu = &PopupMenu2;
    InfoMemo.SetBounds(328, 32, 608, 318);
    for (int n = 1; n <= 4; ++n) {
        TButton &b = DevSpdBtn(n);
        b.Caption = "DEV";
        b.Flat = true;
        b.Enabled = false;
        b.SetBounds(328, 356 + (n - 1) * 29, 50, 26);
        TGauge &g = GaugeBar(n);
        g.ForeColor = TColor::Blue;
        g.SetProgress(0);
        g.SetBounds(384, 356 + (n - 1) * 29, 552, 26);
    }

    Grid(HexViewer);
    Grid(ReadView);

    OpenDialog1.DefaultExt = "*.TXT;*.C*;*.Bin";
    OpenDialog1.Filter = "All VLT Files (*.Bin,*.TXT,*.C)|*.BIN;*.TXT;*.C|All Files (*.*)|*.*";
    SaveDialog1.DefaultExt = "*.bin";
    SaveDialog1.Filter = "All Binary Files(*.BIN)|*.BIN";
    SaveDialogPrj.DefaultExt = "*.log";
    SaveDialogPrj.Filter = "All Log Files(*.Log)|*.log";

    Timer1.Interval = 10;
    Timer1.Enabled = true;

    Item(File1, "&File");
    Item(Execute1, "&Load Data File", "Ctrl+L");
    Item(SaveFile1, "&Save Buffer To File", "Ctrl+S");
    Item(SaveReadOutDatatoFile1, "Save Read Data to File ");
    Item(N1, "-");
    Item(CfgLog, "Config Log File");
    Item(SaveInfotoFile2, "Save Info to File");
    Item(N2, "-");
    Item(Exit1, "E&xit", "Ctrl+X");
    File1.Items = {&Execute1, &SaveFile1, &SaveReadOutDatatoFile1, &N1, &CfgLog, &SaveInfotoFile2,
                   &N2,       &Exit1};
    Item(Command1, "&Command");
    Item(Download1, "&Download To Programmer", "Ctrl+D");
    Item(N3, "-");
    Item(Programming1, "&Programming", "F7");
    Item(VeriufyDownload1, "&Verification", "F8");
    Item(ReadChip1, "Read Chip Data");
    Item(ReadChipInformation1, "Read Chip Information");
    Command1.Items = {&Download1, &N3, &Programming1, &VeriufyDownload1, &ReadChip1, &ReadChipInformation1};
    Item(Help1, "&Help");
    Item(About1, "About");
    Help1.Items = {&About1};
    MainMenu1.Items = {&File1, &Command1, &Help1};

    Item(ClearInformation1, "Clear Information");
    Item(CopyInformation1, "Copy Information");
    Item(SaveInfotoFile1, "Save Information to File");
    PopupMenu2.Items = {&ClearInformation1, &CopyInformation1, &SaveInfotoFile1};
}

TButton &TProgramVLT::DevSpdBtn(int n) {
    switch (n) {
    case 1:
        return DevSpdBtn1;
    case 2:
        return DevSpdBtn2;
    case 3:
        return DevSpdBtn3;
    case 4:
        return DevSpdBtn4;
    }
    throw std::out_of_range("channel");
}

TGauge &TProgramVLT::GaugeBar(int n) {
    switch (n) {
    case 1:
        return GaugeBar1;
    case 2:
        return GaugeBar2;
    case 3:
        return GaugeBar3;
    case 4:
        return GaugeBar4;
    }
    throw std::out_of_range("channel");
}

void TProgramVLT::AddInfoLine(const std::string &msg) {
    // The clock is read twice, once for each text, as the window always did.
    const std::string date = Clock->DateText();
    const std::string time = Clock->TimeText();
    InfoMemo.Add("> " + date + " " + time + " " + msg);
}
