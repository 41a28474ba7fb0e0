#pragma once
// Scrambling of the payload of a firmware data block (command 0xB7). Payload
// byte i is XORed with mask byte i mod 2; blocks 2k and 2k + 1 share a mask.
// The tool scrambles, the programmer (and the simulated device) unscrambles.
#include <array>
#include <cstdint>
#include <span>

using TBlockMask = std::array<uint8_t, 2>;

// Mask byte 0 from key table entry (block with bit 0 cleared), mask byte 1 from
// the entry after it, each XORed with its constant byte. Entries past the end
// of keyTable count as 0.
TBlockMask BlockMask(uint8_t block, std::span<const uint8_t> keyTable, const TBlockMask &maskConst);
// The same from the build's ImageKeyTable and ImageMaskConst.
TBlockMask BlockMask(uint8_t block);

// dst[i] = src[i] XOR mask[i mod 2] for i below the shorter of the two spans;
// returns the number of bytes written. dst may be src. Undoes itself.
size_t ApplyBlockMask(const TBlockMask &mask, std::span<const uint8_t> src, std::span<uint8_t> dst);

// ApplyBlockMask with the build's mask of the block.
size_t ScrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst);
// The inverse of ScrambleBlock, for the receiving side.
size_t UnscrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst);
