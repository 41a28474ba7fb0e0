#include "fwupgrade/BlockScramble.h"

#include <algorithm>

#include "fwupgrade/FirmwareData.h"

std::array<uint8_t, 2> BlockMask(uint8_t block) {
    // block | 1 is at most 255, always inside the 320-byte table.
    const size_t entry = block & 0xFEu;
    return {static_cast<uint8_t>(ImageKeyTable[entry] ^ ImageMaskConst[0]),
            static_cast<uint8_t>(ImageKeyTable[entry + 1] ^ ImageMaskConst[1])};
}

size_t ScrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    const auto mask = BlockMask(block);
    const size_t n = std::min(src.size(), dst.size());
    for (size_t i = 0; i < n; ++i)
        dst[i] = static_cast<uint8_t>(src[i] ^ mask[i % 2]);
    return n;
}

size_t UnscrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    // XOR with the same mask undoes it.
    return ScrambleBlock(block, src, dst);
}
