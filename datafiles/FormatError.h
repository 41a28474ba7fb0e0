#pragma once
// The format error box of the text loaders, and the bounded write into
// DataBuffer that every parser goes through.
#include <cstdint>
#include <string>

struct VltContext;

// "File Format Error :" + '"' + line + '"' + "!"
std::string FileFormatErrorText(const std::string &line);

// Shows the format error box for the line (plain box with OK).
void ShowFileFormatError(VltContext &ctx, const std::string &line);

// True when `count` bytes from `pos` lie inside DataBuffer.
bool FitsDataBuffer(uint32_t pos, uint32_t count);
