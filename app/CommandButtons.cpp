#include "app/CommandButtons.h"

#include "app/CollectSettings.h"
#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/ChannelOps.h"
#include "protocol/CommandPackets.h"
#include "state/VltContext.h"

namespace {

enum class Command { Download, Program, Verify };

// Guards of the three multi-channel commands; false when a box was shown.
bool DataAndChipReady(VltContext &ctx) {
    if (ctx.DataLoaded == 0) {
        ctx.Dialogs->Information("Please load Object File!");
        return false;
    }
    if (ctx.ChipChosen == 0) {
        ctx.Dialogs->Information("Please Select Chip Type!");
        return false;
    }
    return true;
}

void StartChannel(VltContext &ctx, int n, Command cmd) {
    const size_t k = static_cast<size_t>(n - 1);
    switch (cmd) {
    case Command::Download:
        ctx.ChannelOpCode[k] = OpSetup;
        ctx.Form->AddInfoLine(Format("Device %d : Download Data......", n));
        BeginOperation(ctx, n);
        SendSetupPacket(ctx, n, 0x53, 0, ctx.Form->EditFilName.Text());
        break;
    case Command::Program:
        ctx.ChannelOpCode[k] = OpProgram;
        ctx.TransferKB = ctx.MemoryImageFlag ? static_cast<uint16_t>(ctx.RecordCount / 1024) : ctx.DataKB;
        ctx.Form->AddInfoLine(Format("Device %d : Do Chip Programming......", n));
        BeginOperation(ctx, n);
        SendFullPacket(ctx, n, 0x95, ctx.ChannelBlockPos[k]);
        break;
    case Command::Verify:
        ctx.ChannelOpCode[k] = OpVerify;
        ctx.Form->AddInfoLine(Format("Device %d : Do Verification......", n));
        BeginOperation(ctx, n);
        if (ctx.MemoryImageFlag)
            SendSettingsPacket(ctx, n, 0x9B, ctx.ChannelBlockPos[k]);
        else
            SendFullPacket(ctx, n, 0x9B, ctx.ChannelBlockPos[k]);
        break;
    }
}

void RunOnIdleChannels(VltContext &ctx, Command cmd) {
    if (!DataAndChipReady(ctx))
        return;
    CollectSettings(ctx);
    for (int n = 1; n <= kChannels; ++n) {
        const size_t k = static_cast<size_t>(n - 1);
        if (ctx.ChannelBusy[k])
            continue;
        if (ctx.ChannelConnected[k] == 0) {
            if (cmd == Command::Download)
                ctx.Form->AddInfoLine(Format("Please Connect Device %d !", n));
            continue;
        }
        StartChannel(ctx, n, cmd);
    }
}

} // namespace

void SpdBtnDownLoadClick(VltContext &ctx) {
    RunOnIdleChannels(ctx, Command::Download);
}
void SpdBtnProgClick(VltContext &ctx) {
    RunOnIdleChannels(ctx, Command::Program);
}
void SpdBtnVerifyClick(VltContext &ctx) {
    RunOnIdleChannels(ctx, Command::Verify);
}

void ReadChipInformation1Click(VltContext &ctx) {
    if (ctx.ChipChosen == 0) {
        ctx.Dialogs->Information("Please Select Chip Type!");
        return;
    }
    if (ctx.ChannelConnected[0] == 0) {
        ctx.Dialogs->Information("Please Connect the Device first!");
        return;
    }
    CollectSettings(ctx);
    ctx.ChannelOpCode[0] = OpReadInfo;
    ctx.Form->InfoMemo.Add("");
    ctx.Form->AddInfoLine("Device 1 : Read Chip Infiormation......");
    BeginOperation(ctx, 1);
    SendSettingsPacket(ctx, 1, 0x93, 55);
}

void SpeedButtonRDClick(VltContext &ctx) {
    const bool needsFile = ctx.ChipFamily < 16 || ctx.ChipFamily == 48;
    if (ctx.ChipChosen == 0) {
        ctx.Dialogs->Information("Please Select Chip Type!");
        return;
    }
    if (needsFile && ctx.DataLoaded == 0) {
        ctx.Dialogs->Information("Please load Object File first!");
        return;
    }
    if (ctx.ChannelConnected[0] == 0) {
        ctx.Dialogs->Information("Please Connect the Device first!");
        return;
    }
    CollectSettings(ctx);
    ctx.ChannelOpCode[0] = OpReadChip;
    ctx.TransferKB = ctx.DataKB;
    ctx.Form->AddInfoLine("Device 1 : Read Chip Memory......");
    BeginOperation(ctx, 1);
    if (ctx.MemoryImageFlag)
        SendSettingsPacket(ctx, 1, 0x9B, ctx.ChannelBlockPos[0]);
    else
        SendFullPacket(ctx, 1, 0x9B, ctx.ChannelBlockPos[0]);
}
