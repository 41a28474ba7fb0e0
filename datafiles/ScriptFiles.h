#pragma once
// Script files of family 48: a Python script of I2C writes and waits, read as
// text (never run). Each "i2c.i2cw(...)" becomes a write record (section code,
// then one byte per argument); each "time.sleep(...)" a wait record (0xF0 and
// the wait in microseconds, 24 bits, most significant byte first).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct VltContext;

// Sets RecordCount. A first line other than "import time" or a statement of
// another name shows its message box; an argument that is not a number throws
// EConvertError. A statement without its closing ")", a wait that is no
// number of seconds and a record past DataBuffer stop the load with the
// format error box, keeping the records before it. False when the first line
// was refused and nothing was read.
bool ParseVeltaPyFile(VltContext &ctx, const std::string &fileName);

// The state of one parse, shared by the statement routines.
struct TPyParse {
    VltContext &Ctx;
    uint8_t Section = 0;
    uint32_t Pos = 0;  // write position in DataBuffer
    size_t Column = 1; // 1-based column of the line being read
    bool Stop = false;
    bool Refused = false; // the line is a format error: the load stops there
    char Separator = 0;   // what ended the last argument: ',', ')' or 0 for the line's end
};

void ParsePyStatement(TPyParse &ps, const std::string &line);
// The argument, up to the closing ")", is a number of seconds; text after the
// ")" is not read.
void ParsePySleep(TPyParse &ps, const std::string &line);
// The arguments end at the closing ")"; text after it is not read.
void ParsePyI2cWrite(TPyParse &ps, const std::string &line);
// Seconds written as a Python number (digits, an optional fraction, an
// optional exponent; blanks around it), converted exactly to microseconds.
// Nothing for any other text, a fraction of a microsecond, or a wait that the
// 24 bits of a wait record cannot hold.
std::optional<uint32_t> PySleepMicroseconds(std::string_view text);
// Blanks skipped, then everything up to the first "(" (consumed).
std::string PyReadName(TPyParse &ps, const std::string &line);
// The text up to the next "," or ")" (consumed) or the end of the line,
// converted as an integer.
int32_t PyReadArg(TPyParse &ps, const std::string &line);
