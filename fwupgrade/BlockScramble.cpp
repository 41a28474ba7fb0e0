#include "fwupgrade/BlockScramble.h"

#include <algorithm>

#include "fwupgrade/FirmwareData.h"

TBlockMask BlockMask(uint8_t block, std::span<const uint8_t> keyTable, const TBlockMask &maskConst) {
    const size_t entry = block & 0xFEu;
    auto key = [&](size_t i) { return i < keyTable.size() ? keyTable[i] : uint8_t{0}; };
    return {static_cast<uint8_t>(key(entry) ^ maskConst[0]),
            static_cast<uint8_t>(key(entry + 1) ^ maskConst[1])};
}

TBlockMask BlockMask(uint8_t block) {
    return BlockMask(block, ImageKeyTable, ImageMaskConst);
}

size_t ApplyBlockMask(const TBlockMask &mask, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    const size_t n = std::min(src.size(), dst.size());
    for (size_t i = 0; i < n; ++i)
        dst[i] = static_cast<uint8_t>(src[i] ^ mask[i % 2]);
    return n;
}

size_t ScrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    return ApplyBlockMask(BlockMask(block), src, dst);
}

size_t UnscrambleBlock(uint8_t block, std::span<const uint8_t> src, std::span<uint8_t> dst) {
    // XOR with the same mask undoes it.
    return ApplyBlockMask(BlockMask(block), src, dst);
}
