#include "chips/FamilySetup.h"

#include <algorithm>

#include "forms/ProgramVLTForm.h"
#include "protocol/Frame.h"
#include "state/VltContext.h"

namespace {

constexpr uint8_t kPowerOnTimeLong = 60; // 600 ms
constexpr size_t kFam24FillEnd = 16533;  // 0x4096 bytes are filled, not 4096
constexpr int kImageEntriesMax = 32;

void SetSizes(VltContext &ctx, uint16_t kb, uint16_t bytes) {
    ctx.DataKB = kb;
    ctx.DataSize = bytes;
    ctx.ChecksumStart = 0;
    ctx.ChecksumEnd = static_cast<uint32_t>(bytes) - 1;
}

// The last index of the data size in force, never below 0.
uint32_t LastIndexOfSize(uint16_t size) {
    return size == 0 ? 0 : static_cast<uint32_t>(size) - 1;
}

void ShowInfoReading(TProgramVLT &f, bool shown) {
    f.SpdButtnRdInfo.Visible = shown;
    f.ReadChipInformation1.Visible = shown;
}

} // namespace

void SetupFamily00(VltContext &ctx, const std::string &) {
    SetSizes(ctx, 4, 4096);
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    const bool early = ctx.ChipSubType < 16;
    f.ChkBoxVfyE1.Visible = early;
    f.RadioGroupSpd.Visible = true;
    f.ChkBoxIgChip.Visible = early;
    ShowInfoReading(f, early);
}

void SetupFamily05(VltContext &ctx, const std::string &) {
    SetSizes(ctx, 4, 4096);
    ctx.PowerOnTime = kPowerOnTimeLong;
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    f.RadioGrpPIF.Visible = true;
    f.RadioGrpPIF.ItemIndex = 1;
    f.ChkBoxVfyE1.Visible = false;
    f.RadioGroupSpd.Visible = true;
    f.ChkBoxIgChip.Visible = false;
    ShowInfoReading(f, true);
}

void SetupFamily10(VltContext &ctx, const std::string &) {
    SetSizes(ctx, 4, 4096);
    if (!ctx.Form)
        return;
    ctx.Form->RadioGrpPIF.Visible = false;
    ctx.Form->ChkBoxVfyE1.Visible = false;
}

void SetupFamily18(VltContext &ctx, const std::string &) {
    ctx.DataLoaded = 1;
    if (ctx.Form) {
        TProgramVLT &f = *ctx.Form;
        f.SpdButtnRdInfo.Visible = false;
        const bool files = ctx.ChipSubType >= 16;
        f.SpdBtnOpen.Enabled = files;
        f.SpdBtnSave.Enabled = files;
        f.SpdBtnVerify.Visible = false;
        f.RadioGrpPIF.Visible = false;
        f.ChkBoxVfyE1.Visible = false;
        f.CheckBoxPow.Visible = false;
        f.ChkBoxIgChip.Visible = false;
    }
    std::fill_n(ctx.DataBuffer.begin(), kFam24FillEnd + 1, uint8_t{0xFF});
    ctx.ImageCheckWord = FrameChecksumFrom(ctx.DataBuffer, 0, 4095, 0);
    ctx.ImageSum = SumFrom(ctx.DataBuffer, 0, 4095, 0);
}

void SetupFamily20(VltContext &ctx, const std::string &) {
    SetSizes(ctx, 16, 16384);
    ctx.DataStartIndex = ctx.ChecksumStart;
    ctx.DataEndIndex = ctx.ChecksumEnd;
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    f.RadioGpVolt.ItemIndex = 1;
    f.ChkBoxVfyE1.Visible = false;
    f.RadioGroupSpd.Visible = true;
    f.ChkBoxIgChip.Visible = false;
    ShowInfoReading(f, true);
}

void SetupFamily30(VltContext &ctx, const std::string &) {
    SetSizes(ctx, 4, 4096);
    ctx.PowerOnTime = kPowerOnTimeLong;
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    f.RadioGpVolt.ItemIndex = 2;
    f.RadioGrpPIF.ItemIndex = 0;
    f.RadioGrpPIF.Enabled = false;
    f.RadioGrpPIF.Visible = true;
    f.ChkBoxVfyE1.Visible = false;
    f.RadioGroupSpd.Visible = true;
    f.ChkBoxIgChip.Visible = false;
    ShowInfoReading(f, true);
}

void SetupFamily40(VltContext &ctx, const std::string &) {
    SetSizes(ctx, 4, 4096);
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    f.CheckBoxPow.Visible = false;
    f.ChkBoxIgChip.Visible = false;
    f.RadioGpVolt.Visible = false;
    f.RadioGrpPIF.Visible = false;
    f.ChkBoxVfyE1.Visible = false;
}

void SetupFamilyE0(VltContext &ctx, const std::string &) {
    ctx.DataKB = 1;
    ctx.DataSize = 1024;
    ctx.ChecksumStart = 0;
    ctx.ChecksumEnd = 255;
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    f.RadioGpVolt.ItemIndex = 1;
    f.ChkBoxVfyE1.Visible = false;
    f.ChkBoxIgChip.Visible = false;
    f.RadioGroupSpd.Visible = false;
    ShowInfoReading(f, true);
}

void SetupFamilyOther(VltContext &ctx, const std::string &) {
    // The sizes stay those of the previous chip.
    ctx.ChecksumStart = 0;
    ctx.ChecksumEnd = LastIndexOfSize(ctx.DataSize);
    ctx.MemoryImageFlag = 1;
    ctx.DataStartIndex = ctx.ChecksumStart;
    ctx.DataEndIndex = ctx.ChecksumEnd;
    if (!ctx.Form)
        return;
    TProgramVLT &f = *ctx.Form;
    f.RadioGroupSpd.ItemIndex = 1;
    f.RadioGpVolt.ItemIndex = 1;
    f.ChkBoxVfyE1.Visible = false;
    f.RadioGroupSpd.Visible = true;
    f.ChkBoxIgChip.Visible = false;
    ShowInfoReading(f, false);
}

int CountImageEntries(const VltContext &ctx) {
    int count = 0;
    while (count < kImageEntriesMax) {
        const size_t at = 4 * static_cast<size_t>(count);
        if (ctx.DataBuffer[at] == 0 && ctx.DataBuffer[at + 1] == 0)
            break;
        ++count;
    }
    return count;
}
