#pragma once
// The information panel's text as a log file: written when the main window
// closes (name and mode from the log dialog) and on demand from the menu.
#include <string>
#include <vector>

struct VltContext;
class TClock;

// "Log/VLT_" + date + "_" + time with every "-", "/" and ":" of the date and
// time turned into "_"; the clock is read once for each.
std::string AutomaticLogName(TClock &clock);

// The main window closes: writes the log as the log dialog says, then closes
// the channel ports 1 to 4. The operator's file name, when relative, is taken
// in the program's folder. A failure with the automatic name is shown as
// "Write Log File error!"; one with the operator's file is thrown before any
// port is closed (the window then stays open, its channels as they were).
void FormClose(VltContext &ctx);

// Menu "Save Info to File" and popup "Save Information to File".
void SaveInfotoFile1Click(VltContext &ctx);
