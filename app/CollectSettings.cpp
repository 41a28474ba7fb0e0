#include "app/CollectSettings.h"

#include "forms/ProgramVLTForm.h"
#include "platform/IntConvert.h"
#include "state/VltContext.h"

void CollectSettings(VltContext &ctx) {
    const TProgramVLT &f = *ctx.Form;
    // A busy channel keeps its position: a running verify or read must go on
    // with the block it asked for.
    for (size_t k = 0; k < kChannels; ++k)
        if (ctx.ChannelBusy[k] == 0)
            ctx.ChannelBlockPos[k] = 0;

    ctx.DeviceAddress = static_cast<uint8_t>(StrToInt(f.EditDevAddr.Text()));

    ctx.PowerFlags = f.CheckBoxPow.Checked() ? 0x00 : 0x80;
    if (f.ChkBoxIgChip.Checked())
        ctx.PowerFlags |= 0x04;

    ctx.VerifyFlags &= static_cast<uint8_t>(~0x22);
    if (f.ChkBoxVfyE1.Checked())
        ctx.VerifyFlags |= 0x40;
    else
        ctx.VerifyFlags &= static_cast<uint8_t>(~0x40);

    ctx.ChipInTime = static_cast<uint8_t>(f.SpinEditIn.Value() / 30);
    ctx.TakeOffTime = static_cast<uint8_t>(f.SpinEditOut.Value() / 30);
    ctx.AutoDetect = f.CheckBoxAut.Checked() ? 15 : 0;
    ctx.PowerOnTime = static_cast<uint8_t>(f.SpinEditPowTM.Value() / 10);

    if (ctx.ChipFamily == 5)
        ctx.InterfaceVoltage = static_cast<uint8_t>(f.RadioGrpPIF.ItemIndex);
    else if (ctx.ChipFamily == 16)
        ctx.InterfaceVoltage = 0x30;
    else
        ctx.InterfaceVoltage = 0;
    switch (f.RadioGpVolt.ItemIndex) {
    case 0:
        ctx.InterfaceVoltage &= static_cast<uint8_t>(~0x0C);
        break;
    case 1:
        ctx.InterfaceVoltage |= 0x08;
        break;
    default:
        ctx.InterfaceVoltage |= 0x04;
        break;
    }

    ctx.QuantityLimitOn = f.ChkBoxNumb.Checked() ? 15 : 0;
    ctx.QuantityLimit = static_cast<uint32_t>(f.SpinEditNumb.Value());

    if (f.ChkBoxEnGenc.Checked())
        ctx.RegListACount |= 0x10;
    else
        ctx.RegListACount &= static_cast<uint8_t>(~0x10);

    switch (f.RadioGroupSpd.ItemIndex) {
    case 0:
        ctx.ClockDivisor = 60;
        break;
    case 1:
        ctx.ClockDivisor = 30;
        break;
    case 2:
        ctx.ClockDivisor = 15;
        break;
    case 3:
        ctx.ClockDivisor = 8;
        break;
    default:
        ctx.ClockDivisor = 6;
        break;
    }

    if (ctx.MemoryImageFlag)
        ctx.RegListBCount = 0;
}
