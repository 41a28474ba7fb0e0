#pragma once
// Command text files (".TXT" of family 0): one 8-byte command record per
// line: command code, data length and three data words (0xFFFF when absent).
#include <string>

struct VltContext;

// Sets RecordCount, DeviceAddress and ChecksumEnd. Bad lines show the format
// error box; a length that is not a number throws EConvertError.
void ParseCmdTxtFile(VltContext &ctx, const std::string &fileName);
