#pragma once
// Scrambling of the payload of a firmware data block (command 0xB7). Payload
// byte i is XORed with mask byte i mod 2; blocks 2k and 2k + 1 share a mask.
// The tool scrambles, the programmer (and the simulated device) unscrambles.
#include <array>
#include <cstdint>
#include <span>

// Mask byte 0 from key table entry (block with bit 0 cleared), mask byte 1 from
// the entry after it, each XORed with its constant byte.
std::array<uint8_t, 2> BlockMask(uint8_t block);

// dst[i] = src[i] XOR mask[i mod 2] for i below the shorter of the two spans;
// returns the number of bytes written. dst may be src.
size_t ScrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst);

// The inverse of ScrambleBlock, for the receiving side.
size_t UnscrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst);
