#include "protocol/ChannelOps.h"

#include "forms/Controls.h"
#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "state/VltContext.h"

namespace {

struct StatusText {
    uint8_t Code;
    const char *Text;
};

constexpr StatusText kStatusTexts[] = {
    {0x20, "Data packet Error!"},          {0x23, "Packet Error!"},          {0x25, "Unknow Command!"},
    {0x2C, "Write EEP Memory Error!"},     {0x2F, "OTP is Full!"},           {0x31, "Data Verify Error!"},
    {0x34, "Chip Verify Error!"},          {0x36, "Chip Type Error!"},       {0x38, "Chip Error!"},
    {0x40, "Command Execute Time Out"},    {0x45, "Command Execute Error!"}, {0x5D, "PEC Data Error!"},
    {0x60, "Interface Error or no Chip!"},
};

TGauge &Gauge(VltContext &ctx, int n) {
    return *ctx.ChannelGauge[static_cast<size_t>(n - 1)];
}

} // namespace

void MemoDeviceLine(VltContext &ctx, int n, const std::string &text) {
    // The clock is read once for the date and once more for the time.
    const std::string date = ctx.Clock->DateText();
    const std::string time = ctx.Clock->TimeText();
    std::string line;
    line.append("> ").append(date).append(" ").append(time);
    line.append(" Device ").append(std::to_string(n)).append(" : ").append(text);
    ctx.Form->InfoMemo.Add(line);
}

void BeginOperation(VltContext &ctx, int n) {
    const size_t k = static_cast<size_t>(n - 1);
    ctx.ChannelBlockPos[k] = 0;
    ctx.ChannelRxCount[k] = 0;
    ctx.ChannelTimeout[k] = 1000;
    ctx.ChannelBusy[k] = 1;
    ctx.ChannelBlockTotal[k] = ctx.TransferKB;
    TGauge &g = Gauge(ctx, n);
    g.SetProgress(2);
    g.SetMaxValue(ctx.TransferKB);
    g.ForeColor = TColor::Blue;
    g.Repaint();
}

void EndOperation(VltContext &ctx, int n, uint8_t failed) {
    const size_t k = static_cast<size_t>(n - 1);
    ctx.ChannelBusy[k] = 0;
    ctx.ChannelRxCount[k] = 0;
    ctx.ChannelOpCode[k] = OpIdle;
    TGauge &g = Gauge(ctx, n);
    g.ForeColor = failed == 0 ? TColor::Blue : TColor::Red;
    g.SetProgress(g.MaxValue());
    MemoDeviceLine(ctx, n, failed == 0 ? "Operation Success!" : "Operation Failed!");
}

std::string StatusMessageText(uint8_t code) {
    if (code == 0 || code == 6)
        return "Operation Success!";
    const uint8_t masked = code & 0x7F;
    for (const auto &s : kStatusTexts)
        if (s.Code == masked)
            return s.Text;
    return Format("Operate Error! Code=0%d(0x%0.2x)", code, code);
}

void ShowStatusMessage(VltContext &ctx, int n, uint8_t code) {
    const std::string text = StatusMessageText(code);
    if (code == 0 || code == 6) {
        ctx.Dialogs->Beep();
        ctx.Dialogs->Information(text);
    } else {
        ctx.Dialogs->Error(text);
    }
    // The line follows once the operator has closed the box.
    MemoDeviceLine(ctx, n, text);
}
