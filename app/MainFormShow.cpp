#include "app/MainFormShow.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "forms/Controls.h"
#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "state/VltContext.h"

namespace {

void SetUpGrid(TStringGrid &grid) {
    grid.SetColWidth(0, 70);
    grid.SetColWidth(17, 130);
    for (int col = 1; col <= 16; ++col)
        grid.SetCell(col, 0, Format("  %x", col - 1));
}

void SetDefaults(VltContext &ctx) {
    ctx.DataKB = 4;
    ctx.DataSize = 4096;
    ctx.ChipFamily = 0;
    ctx.ChipSubType = 0;
    ctx.InterfaceVoltage = 0;
    ctx.PowerFlags = 0;
    ctx.VerifyFlags = 0;
    ctx.FamilyParam1 = 0;
    ctx.FamilyParam2 = 0;
    ctx.FamilyParam3 = 0;
    ctx.RegListACount = 0;
    ctx.RegListBCount = 0;
    ctx.ChipInTime = 50;
    ctx.TakeOffTime = 50;
    ctx.PowerOnTime = 10;
    ctx.ClockDivisor = 10;
    ctx.DeviceAddress = 0;
    ctx.AutoDetect = 15;
    ctx.DataEndIndex = 0;
    ctx.ChecksumStart = 0;
    ctx.ChecksumEnd = 4095;
    ctx.ImageCheckWord = 0;
    ctx.ImageSum = 0;
    ctx.RangeCheckWord = 0;
    ctx.RangeSum = 0;
    ctx.RefCheckWord = 0;
    ctx.RefSum = 0;
    ctx.ChipConfig = {};
    ctx.ReadDataValid = 0;
    ctx.DataLoaded = 0;
    ctx.ChipChosen = 0;
}

// The clipboard on Linux carries LF line ends: every CR LF and lone CR
// becomes LF.
std::string WithLfLineEnds(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
            continue;
        }
        out += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
    }
    return out;
}

} // namespace

void FormShow(VltContext &ctx, const std::string &programPath, const TPortScan &scan) {
    TProgramVLT &f = *ctx.Form;
    const size_t slash = programPath.find_last_of('/');
    ctx.ProgramDir = slash == std::string::npos ? std::string() : programPath.substr(0, slash + 1);
    std::error_code ec; // a folder that cannot be made shows up when a log is written
    std::filesystem::create_directory(ctx.ProgramDir + "Log", ec);

    SetUpGrid(f.HexViewer);
    SetUpGrid(f.ReadView);
    f.ProductEditX.Height = 22;

    std::fill(ctx.DataBuffer.begin(), ctx.DataBuffer.begin() + 0x4000, 0xFF);
    SetDefaults(ctx);

    f.TabSheetRd.TabVisible = false;
    f.ViewPageCtrl.ActivePageIndex = 0;

    for (int n = 1; n <= kChannels; ++n)
        ctx.ChannelGauge[static_cast<size_t>(n - 1)] = &f.GaugeBar(n);

    const std::string date = ctx.Clock->DateText();
    const std::string time = ctx.Clock->TimeText();
    f.AddInfoLine("Hello Pelmor200VLT User!------" + date + "," + time);

    BitBtnFreshClick(ctx, scan);
    BitBtnFindCOMClick(ctx, scan);
}

void CheckBoxAutClick(VltContext &ctx) {
    TProgramVLT &f = *ctx.Form;
    const bool on = f.CheckBoxAut.Checked();
    f.SpinEditIn.Enabled = on;
    f.SpinEditOut.Enabled = on;
}

void About1Click(VltContext &ctx) {
    ctx.Dialogs->ShowModal(ctx.Form->AboutForm);
}

void ClearInformation1Click(VltContext &ctx) {
    ctx.Form->InfoMemo.Clear();
}

void CopyInformation1Click(VltContext &ctx) {
    TMemo &memo = ctx.Form->InfoMemo;
    memo.SelectAll();
    ctx.Dialogs->SetClipboardText(WithLfLineEnds(memo.SelText()));
}

void SpdBtnExitClick(VltContext &, const std::function<void()> &closeWindow) {
    // The close handling closes the ports once the log is written; closed
    // here, a log that fails would leave connected channels without ports.
    if (closeWindow)
        closeWindow();
}
