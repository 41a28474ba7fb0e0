#pragma once
// The information panel's text as a log file: written when the main window
// closes (name and mode from the log dialog) and on demand from the menu.
#include <string>
#include <vector>

struct VltContext;
class TClock;

// Writes the lines, each ended by CR LF, creating the file or replacing its
// contents. Throws EInOutError when the file cannot be written; the file is
// then as it was (a new one is not left behind).
void SaveLinesToFile(const std::string &path, const std::vector<std::string> &lines);
// Appends the lines, each ended by CR LF, to the end of the file; a missing
// file is first created holding the line "Corvane Log File!". Throws
// EInOutError; then none of the lines was added.
void AppendLinesToFile(const std::string &path, const std::vector<std::string> &lines);

// "Log/VLT_" + date + "_" + time with every "-", "/" and ":" of the date and
// time turned into "_"; the clock is read once for each.
std::string AutomaticLogName(TClock &clock);

// The main window closes: closes the channel ports 1 to 4, then writes the log
// as the log dialog says. A failure with the automatic name is shown as
// "Write Log File error!"; one with the operator's file is thrown (the window
// then stays open).
void FormClose(VltContext &ctx);

// Menu "Save Info to File" and popup "Save Information to File".
void SaveInfotoFile1Click(VltContext &ctx);
