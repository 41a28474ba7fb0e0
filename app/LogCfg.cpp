#include "app/LogCfg.h"

#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "state/VltContext.h"

void CheckBoxLogClick(VltContext &, TLogCfgForm &form) {
    const bool on = form.CheckBoxLog.Checked();
    form.RadioGrpCreat.Enabled = on;
    form.RadioGrpMod.Enabled = on;
    form.SpeedButtonOP.Enabled = on;
    form.EditLogName.Enabled = on;
}

void RadioGrpCreatClick(VltContext &, TLogCfgForm &form) {
    const bool operatorsFile = form.RadioGrpCreat.ItemIndex == 1;
    form.RadioGrpMod.Enabled = operatorsFile;
    form.RadioGrpMod.ItemIndex = 0;
    form.SpeedButtonOP.Enabled = operatorsFile;
    form.EditLogName.Enabled = operatorsFile;
    if (!operatorsFile)
        form.EditLogName.SetText("");
}

void SpeedButtonOPClick(VltContext &ctx, TLogCfgForm &form) {
    if (auto path = ctx.Dialogs->OpenFile(form.OpenDialogLog))
        form.EditLogName.SetText(*path);
}

void OKClick(VltContext &ctx, TLogCfgForm &form) {
    if (form.RadioGrpCreat.ItemIndex == 1 && form.EditLogName.Text().empty()) {
        ctx.Dialogs->Message("请输入有效的Log文件名称！");
        form.EditLogName.SetFocus();
        return;
    }
    form.Close();
}

void CfgLogClick(VltContext &ctx) {
    ctx.Dialogs->ShowModal(ctx.Form->LogCfgForm);
}

void WireLogCfgForm(VltContext &ctx, TLogCfgForm &form) {
    form.CheckBoxLog.OnClick = [&ctx, &form] { CheckBoxLogClick(ctx, form); };
    form.RadioGrpCreat.OnClick = [&ctx, &form] { RadioGrpCreatClick(ctx, form); };
    form.SpeedButtonOP.OnClick = [&ctx, &form] { SpeedButtonOPClick(ctx, form); };
    form.OK.OnClick = [&ctx, &form] { OKClick(ctx, form); };
}
