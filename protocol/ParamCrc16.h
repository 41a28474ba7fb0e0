#pragma once
// CRC-16 of parameter data: polynomial 0x100B, initial 0, data bits taken
// least significant first, no final inversion.
#include <cstdint>
#include <span>

constexpr uint16_t kParamCrcPolynomial = 0x100B;

// Over bytes first..last (inclusive); 0 when last < first. The range is cut
// at the end of the buffer.
uint16_t ParamCrc16(std::span<const uint8_t> buf, uint16_t first, uint16_t last);
