#pragma once
// The format error box of the text loaders, the line reading and the bounded
// write into DataBuffer that every parser goes through.
#include <cstdint>
#include <string>

struct VltContext;
class TTextFileReader;

// "File Format Error :" + '"' + line + '"' + "!"
std::string FileFormatErrorText(const std::string &line);

// Shows the format error box for the line (plain box with OK).
void ShowFileFormatError(VltContext &ctx, const std::string &line);

// The next line for a parser; false at the end of the file, and after a line
// longer than the reader keeps, which shows the format error box: the values
// of a cut line would load wrong.
bool NextDataLine(VltContext &ctx, TTextFileReader &file, std::string &line);

// True when `count` bytes from `pos` lie inside DataBuffer.
bool FitsDataBuffer(uint32_t pos, uint32_t count);
