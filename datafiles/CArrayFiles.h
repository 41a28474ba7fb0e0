#pragma once
// C-array files (".C" of family 0): after the declaration line, one 8-byte
// record per line of the array, 0xFF for each value a line does not hold.
#include <string>

struct VltContext;

// Sets RecordCount and ChecksumEnd; bad values show the format error box.
void ParseCArrayFile(VltContext &ctx, const std::string &fileName);
