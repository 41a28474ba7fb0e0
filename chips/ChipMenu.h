#pragma once
// Handlers of the chip selection form: positioning and popping up its menu, and
// the eleven model items. A choice writes the model's parameters, then the
// caption into the main window's chip type field (whose change handler runs the
// family setup), then closes the form.
struct VltContext;
struct TChipSeltForm;

void SetChipMenuPos(VltContext &ctx, int x, int y);

void FormShow(VltContext &ctx, TChipSeltForm &form);
void FormClick(VltContext &ctx, TChipSeltForm &form);
void Label1Click(VltContext &ctx, TChipSeltForm &form);

void Vt71151Click(VltContext &ctx, TChipSeltForm &form);
void Vt71171Click(VltContext &ctx, TChipSeltForm &form);
void Vt71271Click(VltContext &ctx, TChipSeltForm &form);
void Vt71251Click(VltContext &ctx, TChipSeltForm &form);
void Vt71291Click(VltContext &ctx, TChipSeltForm &form);
void Vt71292F1Click(VltContext &ctx, TChipSeltForm &form);
void VT71121Click(VltContext &ctx, TChipSeltForm &form);
void Vt71141Click(VltContext &ctx, TChipSeltForm &form);
void Vt71221Click(VltContext &ctx, TChipSeltForm &form);
void Vt71241Click(VltContext &ctx, TChipSeltForm &form);
void Vt71311Click(VltContext &ctx, TChipSeltForm &form);

// Connects the form's events and items to the handlers above.
void WireChipSeltForm(VltContext &ctx, TChipSeltForm &form);
