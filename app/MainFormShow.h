#pragma once
// The main window's first show and its small handlers (clear, copy, exit).
#include <functional>
#include <string>

#include "app/PortConnection.h"

struct VltContext;

// First show: program folder, "Log" folder, grids, buffer fill, defaults,
// greeting, then refresh and connect. programPath is the program file's path.
void FormShow(VltContext &ctx, const std::string &programPath, const TPortScan &scan);
// SpinEditIn and SpinEditOut are enabled exactly when CheckBoxAut is checked.
void CheckBoxAutClick(VltContext &ctx);
void About1Click(VltContext &ctx);
void ClearInformation1Click(VltContext &ctx);
// Selects the whole panel and copies it, each line ended by LF.
void CopyInformation1Click(VltContext &ctx);
// Asks for the window to close; its close handling (FormClose) writes the log
// and then closes the ports.
void SpdBtnExitClick(VltContext &ctx, const std::function<void()> &closeWindow);
