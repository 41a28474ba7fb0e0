#pragma once
// Script files of family 48: a Python script of I2C writes and waits, read as
// text (never run). Each "i2c.i2cw(...)" becomes a write record (section code,
// then one byte per argument); each "time.sleep(...)" a wait record (0xF0 and
// the wait in microseconds, 24 bits, most significant byte first).
#include <cstddef>
#include <cstdint>
#include <string>

struct VltContext;

// Sets RecordCount. A first line other than "import time" or a statement of
// another name shows its message box; an argument that is not a number throws
// EConvertError. False when the first line was refused and nothing was read.
bool ParseVeltaPyFile(VltContext &ctx, const std::string &fileName);

// The state of one parse, shared by the statement routines.
struct TPyParse {
    VltContext &Ctx;
    uint8_t Section = 0;
    uint32_t Pos = 0;  // write position in DataBuffer
    size_t Column = 1; // 1-based column of the line being read
    bool Stop = false;
    bool Overflow = false; // a record would have run past DataBuffer
    char Separator = 0;    // what ended the last argument: ',', ')' or 0 for the line's end
};

void ParsePyStatement(TPyParse &ps, const std::string &line);
void ParsePySleep(TPyParse &ps, const std::string &line);
// The arguments end at the closing ")"; text after it is not read.
void ParsePyI2cWrite(TPyParse &ps, const std::string &line);
// Spaces skipped, then everything up to the first "(" (consumed).
std::string PyReadName(TPyParse &ps, const std::string &line);
// The text up to the next "," or ")" (consumed) or the end of the line,
// converted as an integer.
int32_t PyReadArg(TPyParse &ps, const std::string &line);
