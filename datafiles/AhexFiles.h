#pragma once
// ".ahex" files of family 64: lines "address: word" in hexadecimal. Runs of
// neighbouring addresses become blocks: a table of 8-byte headers from offset 0
// (start address, word count, data offset, CRC), the words from offset 256.
#include <cstdint>
#include <string>

struct VltContext;

constexpr uint16_t kAhexTableSize = 256; // 32 headers
constexpr uint16_t kAhexHeaderSize = 8;
constexpr uint16_t kAhexMaxBlockWords = 255;

// Sets RecordCount (blocks) and DataEndIndex (just past the last data byte).
// A 33rd block or a block of more than 255 words does not fit the table: the
// load stops there with the format error box, keeping the blocks before it.
void ParseAhexFile(VltContext &ctx, const std::string &fileName);

// Hexadecimal (0-9, A-F only, blanks skipped) up to the first ":"; 0 on any
// other character.
uint16_t AhexLineAddress(const std::string &line);
// The same over the text after the first ":"; 0 when there is none.
uint16_t AhexLineData(const std::string &line);
