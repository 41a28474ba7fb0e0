#include "chips/ChipMenu.h"

#include "chips/ChipCatalogue.h"
#include "forms/ChipSeltForm.h"
#include "forms/ProgramVLTForm.h"
#include "state/VltContext.h"

namespace {

// The form sits a little below and right of where its menu opens.
constexpr int kFormOffsetX = 5;
constexpr int kFormOffsetY = 50;

void PopUpMenu(VltContext &ctx, TChipSeltForm &form) {
    form.Left = ctx.ChipMenuX + kFormOffsetX;
    form.Top = ctx.ChipMenuY + kFormOffsetY;
    form.PopupMenuXF.Popup(ctx.ChipMenuX, ctx.ChipMenuY);
}

void ChooseModel(VltContext &ctx, TChipSeltForm &form, int i) {
    ApplyChipModel(ctx, i);
    // The chip type field's change handler runs the family setup, and only when the text changes.
    if (ctx.Form)
        ctx.Form->MCUNameEdit.SetText(std::string(ChipModels()[static_cast<size_t>(i)].Caption));
    form.Close();
}

} // namespace

void SetChipMenuPos(VltContext &ctx, int x, int y) {
    ctx.ChipMenuX = x;
    ctx.ChipMenuY = y;
}

void FormShow(VltContext &ctx, TChipSeltForm &form) {
    PopUpMenu(ctx, form);
}
void FormClick(VltContext &ctx, TChipSeltForm &form) {
    PopUpMenu(ctx, form);
}
void Label1Click(VltContext &ctx, TChipSeltForm &form) {
    PopUpMenu(ctx, form);
}

void Vt71151Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 0);
}
void Vt71171Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 1);
}
void Vt71271Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 2);
}
void Vt71251Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 3);
}
void Vt71291Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 4);
}
void Vt71292F1Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 5);
}
void VT71121Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 6);
}
void Vt71141Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 7);
}
void Vt71221Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 8);
}
void Vt71241Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 9);
}
void Vt71311Click(VltContext &ctx, TChipSeltForm &form) {
    ChooseModel(ctx, form, 10);
}

void WireChipSeltForm(VltContext &ctx, TChipSeltForm &form) {
    using THandler = void (*)(VltContext &, TChipSeltForm &);
    const struct {
        TMenuItem &Item;
        THandler Handler;
    } items[] = {
        {form.Vt71151, Vt71151Click}, {form.Vt71171, Vt71171Click}, {form.Vt71271, Vt71271Click},
        {form.Vt71251, Vt71251Click}, {form.Vt71291, Vt71291Click}, {form.Vt71292F1, Vt71292F1Click},
        {form.VT71121, VT71121Click}, {form.Vt71141, Vt71141Click}, {form.Vt71221, Vt71221Click},
        {form.Vt71241, Vt71241Click}, {form.Vt71311, Vt71311Click},
    };
    for (const auto &i : items) {
        THandler h = i.Handler;
        i.Item.OnClick = [&ctx, &form, h] { h(ctx, form); };
    }
}
