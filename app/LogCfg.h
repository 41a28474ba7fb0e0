#pragma once
// Handlers of the log configuration dialog and the menu item that opens it.
struct VltContext;
struct TLogCfgForm;

void CheckBoxLogClick(VltContext &ctx, TLogCfgForm &form);
void RadioGrpCreatClick(VltContext &ctx, TLogCfgForm &form);
void SpeedButtonOPClick(VltContext &ctx, TLogCfgForm &form);
void OKClick(VltContext &ctx, TLogCfgForm &form);

// Menu "Config Log File": shows the dialog modally.
void CfgLogClick(VltContext &ctx);

// Connects the dialog's events to the handlers above.
void WireLogCfgForm(VltContext &ctx, TLogCfgForm &form);
