#include "protocol/ProgressReport.h"

#include "forms/Controls.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Format.h"
#include "protocol/ChannelOps.h"
#include "state/LineFile.h"
#include "state/VltContext.h"

namespace {

constexpr uint32_t kResultsPerLogSave = 2000;

constexpr uint8_t kStageInit = 0x10;
constexpr uint8_t kStageBlankCheck = 0x20;
constexpr uint8_t kStageErase = 0x30;
constexpr uint8_t kStageFlash = 0x40;
constexpr uint8_t kStageEeprom = 0x50;
constexpr uint8_t kStageFlashVerify = 0x70;
constexpr uint8_t kStageEepromVerify = 0x80;
constexpr uint8_t kStageOptionBytes = 0xA0;
constexpr uint8_t kStageCompleted = 0xF0;

constexpr uint8_t kResultGood = 6;
constexpr uint8_t kResultNoReadProtection = 0x1E;

// A gauge that stands in when the channel has none, so the report still counts.
TGauge &GaugeOf(VltContext &ctx, int n, TGauge &spare) {
    TGauge *g = ctx.ChannelGauge[static_cast<size_t>(n - 1)];
    return g ? *g : spare;
}

} // namespace

std::string ResultLogPath(const std::string &programDir, const std::string &date, const std::string &time) {
    std::string name = "/VLT_" + date + "_" + time;
    for (size_t i = 6; i < name.size(); ++i)
        if (name[i] == '-' || name[i] == '/' || name[i] == ':')
            name[i] = '_';
    // The folder brings its own separator; no folder means the current one, not the root.
    if (programDir.empty() || programDir.back() == '/')
        name.erase(0, 1);
    return programDir + name + ".log";
}

void CountResultAndLog(VltContext &ctx) {
    ++ctx.ResultsSinceLogSave;
    if (ctx.Form)
        ctx.Form->InfoMemo.Add(
            Format(">---- Total OK Number is : %d, NG is %d ----", ctx.TotalOkCount, ctx.TotalNgCount));
    if (ctx.ResultsSinceLogSave < kResultsPerLogSave || ctx.LogAtCloseRunning)
        return;
    ctx.ResultsSinceLogSave = 0;
    if (!ctx.Form || !ctx.Clock)
        return;
    const std::string date = ctx.Clock->DateText();
    const std::string time = ctx.Clock->TimeText();
    SaveLinesToFile(ResultLogPath(ctx.ProgramDir, date, time), ctx.Form->InfoMemo.Lines);
}

bool HandleProgressReport(VltContext &ctx, int n) {
    if (n < 1 || n > kChannels)
        return false;
    const auto &pkt = ctx.PacketBuf[static_cast<size_t>(n - 1)];
    uint8_t sum = 0;
    for (size_t i = 0; i < 8; ++i)
        sum = static_cast<uint8_t>(sum + pkt[i]);
    if (sum != 0)
        return false;

    const uint8_t stage = pkt[1];
    const uint8_t result = pkt[2];
    const int current = pkt[3] | pkt[4] << 8;
    const int maximum = pkt[5] | pkt[6] << 8;
    TGauge spare;
    TGauge &gauge = GaugeOf(ctx, n, spare);
    std::string text;
    bool writeLine = true;

    auto midway = [&](const char *fmt) {
        text = Format(fmt, n);
        gauge.SetProgress(50);
        gauge.SetMaxValue(100);
    };

    switch (stage) {
    case kStageInit:
        text = n == 1 ? std::string("Channel 1 : Initial Programming Interface ....")
                      : Format("Channel %d : Start Auto-Programming....", n);
        gauge.SetProgress(5);
        gauge.SetMaxValue(100);
        gauge.ForeColor = TColor::Blue;
        break;
    case kStageBlankCheck:
        midway("Channel %d : Chip Blank Checking....");
        break;
    case kStageErase:
        midway("Channel %d : Do Chip Erasing....");
        break;
    case kStageFlash:
    case kStageEeprom:
        text = Format(stage == kStageFlash ? "Channel %d : Do Main Flash Programming...."
                                           : "Channel %d : Do EEP Data Programming....",
                      n);
        gauge.SetProgress(current + 2);
        gauge.SetMaxValue(maximum);
        writeLine = current == 0;
        break;
    case kStageFlashVerify:
        midway("Channel %d : Do Main Flash Verification....");
        break;
    case kStageEepromVerify:
        midway("Channel %d : Do EEP Data Verification....");
        break;
    case kStageOptionBytes:
        midway("Channel %d : Do Chip Option Byte Programming....");
        break;
    case kStageCompleted: {
        const size_t k = static_cast<size_t>(n - 1);
        text = Format("Channel %d : Progrmming Completed : ", n);
        if (result == kResultGood) {
            text += n == 1 ? "Successed !" : "Successed!";
            ++ctx.ChannelOkCount[k];
            ++ctx.TotalOkCount;
            CountResultAndLog(ctx);
        } else {
            ++ctx.ChannelNgCount[k];
            ++ctx.TotalNgCount;
            gauge.ForeColor = TColor::Red;
            text += result == kResultNoReadProtection ? std::string("Error：芯片未设定读保护！")
                                                      : Format("Failed : Error=0x%0.2x!", result);
            CountResultAndLog(ctx);
        }
        gauge.SetProgress(gauge.MaxValue());
        MemoDeviceLine(ctx, n,
                       Format("Channel %d : OK=%d, NG=%d.", n, ctx.ChannelOkCount[k], ctx.ChannelNgCount[k]));
        break;
    }
    default:
        break;
    }
    if (writeLine)
        MemoDeviceLine(ctx, n, text);
    return true;
}
