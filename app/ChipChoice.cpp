#include "app/ChipChoice.h"

#include <string>

#include "chips/ChipMenu.h"
#include "chips/FamilySetup.h"
#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "state/VltContext.h"

void MCUNameEditChange(VltContext &ctx) {
    TProgramVLT &f = *ctx.Form;
    ctx.DataLoaded = 0; // the new chip needs its file loaded again
    ctx.ChipChosen = 1;

    f.SpdBtnOpen.Enabled = true;
    f.SpdBtnSave.Enabled = true;
    f.RadioGrpPIF.Visible = false;
    f.SpdBtnVerify.Visible = true;
    f.SpdButtnRdInfo.Visible = true;
    f.CheckBoxPow.Visible = true;
    f.ChkBoxIgChip.Visible = true;
    f.RadioGroupSpd.ItemIndex = 0;

    ctx.ChipName = f.MCUNameEdit.Text();
    std::string msg = "Chip of \"" + ctx.ChipName + "\" is Selected.";
    if (ctx.ChipFamily == 5 || ctx.ChipFamily == 48)
        msg += Format("Chip ID is 0x%0.2x%0.2x.", ctx.ChipId[1], ctx.ChipId[0]);
    f.AddInfoLine(msg);

    ctx.PowerOnTime = 10;
    ctx.MemoryImageFlag = 0;
    switch (ctx.ChipFamily) {
    case 224:
        SetupFamilyE0(ctx, ctx.ChipName);
        break;
    case 32:
        SetupFamily20(ctx, ctx.ChipName);
        break;
    case 5:
        SetupFamily05(ctx, ctx.ChipName);
        break;
    case 16:
        SetupFamily10(ctx, ctx.ChipName);
        break;
    case 48:
        SetupFamily30(ctx, ctx.ChipName);
        break;
    case 24:
        SetupFamily18(ctx, ctx.ChipName);
        break;
    case 64:
        SetupFamily40(ctx, ctx.ChipName);
        break;
    case 0:
        SetupFamily00(ctx, ctx.ChipName);
        break;
    default:
        SetupFamilyOther(ctx, ctx.ChipName);
        break;
    }

    f.SpinEditPowTM.SetValue(ctx.PowerOnTime * 10);
    f.EditDevAddr.SetText(Format("0x%0.2x", ctx.DeviceAddress));
}

void DevButtonClick(VltContext &ctx) {
    TProgramVLT &f = *ctx.Form;
    f.Panel1.SetFocus();
    SetChipMenuPos(ctx, f.DevButton.Left + f.Left + f.DevButton.Width + 15, f.GroupBoxSet.Top + f.Top + 150);
    ctx.Dialogs->ShowModal(f.ChipSeltForm);
}
