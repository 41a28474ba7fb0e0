#pragma once
// Unsolicited progress reports of an idle programmer's own runs: memo lines,
// gauge states and OK/NG counting, with the panel saved every 2000 results.
#include <string>

struct VltContext;

// False when the decoded packet is no report (its first eight bytes do not
// add up to 0).
bool HandleProgressReport(VltContext &ctx, int n);
// One result more: its totals line, and the panel saved when it is the
// 2000th since the last save (or the first after the log at close, when the
// 2000th came while that was written).
void CountResultAndLog(VltContext &ctx);

// Path of the automatic result log in the program's folder, from the date and
// time texts as the clock gives them.
std::string ResultLogPath(const std::string &programDir, const std::string &date, const std::string &time);
