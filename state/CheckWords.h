#pragma once
// Check words and sums over a range of a buffer: the frames' check word and
// the checksum lines of the buffers.
//
// Ranges are given by first and last index, both included (16-bit); a range
// whose last index is below its first is empty. Bytes past the end of the
// given buffer are never read: a range is cut at the buffer's end.
#include <cstdint>
#include <span>

constexpr uint16_t kChecksumOddXor = 0x4A12;

// v := b XOR (v >> 1) XOR (0x4A12 when v was odd), from 0.
uint16_t FrameChecksum(std::span<const uint8_t> buf, uint16_t first, uint16_t last);
uint16_t FrameChecksumFrom(std::span<const uint8_t> buf, uint16_t first, uint16_t last, uint16_t start);
// start + the byte sum, modulo 65,536.
uint16_t SumFrom(std::span<const uint8_t> buf, uint16_t first, uint16_t last, uint16_t start);
// The negated byte sum: sum + NegSum = 0 modulo 65,536.
uint16_t NegSum(std::span<const uint8_t> buf, uint16_t first, uint16_t last);
