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
// in the program's folder. A log that cannot be written leaves every port
// open, so the window can stay open with its channels as they were and the
// panel kept: one with the automatic name is shown in a box ("Write Log File
// error!", then the file and the system's reason, each on a line of its own)
// and false comes back; one with the operator's file is thrown.
[[nodiscard]] bool FormClose(VltContext &ctx);

// Menu "Save Info to File" and popup "Save Information to File".
void SaveInfotoFile1Click(VltContext &ctx);
