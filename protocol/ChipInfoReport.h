#pragma once
// Chip information printers for the reply to Read Chip Information (channel 1).
// Each writes its lines and tells whether the chip was identified.
#include <cstdint>
#include <string>

struct VltContext;

bool PrintChipInfoDefault(VltContext &ctx);
bool PrintChipInfoFam48(VltContext &ctx);
bool PrintChipInfoFam5(VltContext &ctx);
bool PrintChipInfoFam16(VltContext &ctx);
bool PrintChipInfoFam64(VltContext &ctx);

// The character with this code (Latin-1), as UTF-8 text.
inline std::string CharOfCode(uint8_t code) {
    if (code < 0x80)
        return std::string(1, static_cast<char>(code));
    return {static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))};
}
