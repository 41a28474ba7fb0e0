#pragma once
// Register tables: TAB-separated text with a "Reg" column; each record line
// gives a 4-byte record A, B, 0, 0 (register, value).
#include <cstddef>
#include <cstdint>
#include <string>

struct VltContext;

// Codes of ParseRegTableLine.
enum : uint8_t {
    RegLineRecord = 0,
    RegLineNoSecondTab = 5,
    RegLineNotZero = 16,
    RegLineNoTab = 32,
    RegLineNoReg = 48,
    RegLineNoR = 64,
    RegLineNoPair = 80, // a TAB without two characters after it where a value belongs
};

// Reads the table until a line beginning with "END"; sets RecordCount.
void ParseRegTableFile(VltContext &ctx, const std::string &fileName);

// One line; a and b are set only for RegLineRecord.
uint8_t ParseRegTableLine(const std::string &line, uint8_t &a, uint8_t &b);

// Converts the two characters from index `pos` (0-based) with HexPairToByte
// and returns the index after them; the caller makes sure both exist.
size_t HexPairAt(const std::string &line, size_t pos, uint8_t &value);
