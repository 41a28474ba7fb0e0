#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "fwupgrade/BlockScramble.h"
#include "fwupgrade/FirmwareData.h"

namespace {

std::vector<uint8_t> ReadFile(const char *path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(FirmwareData, EmbedsTheConfiguredFilesByteForByte) {
    const auto image = ReadFile(FIRMWARE_IMAGE_FILE);
    const auto keys = ReadFile(IMAGE_KEY_TABLE_FILE);
    ASSERT_EQ(image.size(), kFirmwareImageSize);
    ASSERT_EQ(keys.size(), kImageKeyTableSize);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), FirmwareImage.begin()));
    EXPECT_TRUE(std::equal(keys.begin(), keys.end(), ImageKeyTable.begin()));
}

TEST(BlockScramble, PairsOfBlocksShareTheirTableEntries) {
    struct Case {
        uint8_t block;
        size_t entry;
    };
    for (const Case c : {Case{0, 0}, Case{1, 0}, Case{6, 6}, Case{7, 6}, Case{11, 10}, Case{255, 254}}) {
        const auto mask = BlockMask(c.block);
        EXPECT_EQ(mask[0], ImageKeyTable[c.entry] ^ ImageMaskConst[0]) << int(c.block);
        EXPECT_EQ(mask[1], ImageKeyTable[c.entry + 1] ^ ImageMaskConst[1]) << int(c.block);
    }
}

TEST(BlockScramble, MaskFromAGivenTableAndConstants) {
    const std::array<uint8_t, 3> table{0x10, 0x20, 0x30};
    const TBlockMask c{0x01, 0x02};
    EXPECT_EQ(BlockMask(0, table, c), (TBlockMask{0x11, 0x22}));
    EXPECT_EQ(BlockMask(1, table, c), (TBlockMask{0x11, 0x22}));
    EXPECT_EQ(BlockMask(2, table, c), (TBlockMask{0x31, 0x02})); // entry 3 is past the table
    EXPECT_EQ(BlockMask(200, table, c), c);
}

TEST(BlockScramble, EvenBytesTakeMaskZeroOddBytesMaskOne) {
    const auto mask = BlockMask(3);
    const std::array<uint8_t, 5> src{0x00, 0x00, 0xFF, 0xC0, 0xDB};
    std::array<uint8_t, 5> dst{};
    ASSERT_EQ(ScrambleBlock(3, src, dst), 5u);
    const std::array<uint8_t, 5> want{mask[0], mask[1], uint8_t(0xFF ^ mask[0]), uint8_t(0xC0 ^ mask[1]),
                                      uint8_t(0xDB ^ mask[0])};
    EXPECT_EQ(dst, want);
}

TEST(BlockScramble, UnscrambleRestoresEveryImageBlockInPlace) {
    for (uint8_t b = 0; b < kFirmwareBlocks; ++b) {
        std::span<const uint8_t> plain(FirmwareImage.data() + b * kFirmwareBlockSize, kFirmwareBlockSize);
        std::vector<uint8_t> wire(kFirmwareBlockSize);
        ScrambleBlock(b, plain, wire);
        EXPECT_FALSE(std::equal(wire.begin(), wire.end(), plain.begin())) << int(b);
        EXPECT_EQ(UnscrambleBlock(b, wire, wire), kFirmwareBlockSize);
        EXPECT_TRUE(std::equal(wire.begin(), wire.end(), plain.begin())) << int(b);
    }
}

TEST(BlockScramble, WritesNoFurtherThanTheShorterSpan) {
    const std::array<uint8_t, 8> src{1, 2, 3, 4, 5, 6, 7, 8};
    std::array<uint8_t, 6> dst{};
    dst.fill(0xEE);
    EXPECT_EQ(ScrambleBlock(0, src, std::span<uint8_t>(dst).first(4)), 4u);
    EXPECT_EQ(dst[4], 0xEE);
    EXPECT_EQ(dst[5], 0xEE);
    EXPECT_EQ(ScrambleBlock(0, std::span<const uint8_t>(src).first(2), dst), 2u);
}

} // namespace
