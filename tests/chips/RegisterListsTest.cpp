#include <gtest/gtest.h>

#include <memory>

#include "chips/RegisterLists.h"
#include "state/RegisterListLookup.h"
#include "state/VltContext.h"

namespace {

struct ListCase {
    uint8_t Tag;
    void (*Fill)(VltContext &);
    int KeysA;
    int EntriesB;
    uint16_t FirstA, LastA;
    uint16_t FirstB;
    uint8_t FirstMaskB;
};

const ListCase kLists[] = {
    {2, LoadRegListsTag2, 29, 6, 0x001A, 0x0D16, 0x0013, 0x7F},
    {16, LoadRegListsTag16, 28, 9, 0x001A, 0x0D16, 0x0011, 0x7F},
    {5, LoadRegListsTag5, 30, 5, 0x001A, 0x0D16, 0x0013, 0xF7},
    {17, LoadRegListsTag17, 26, 9, 0x001A, 0x0D16, 0x0011, 0xF7},
    {6, LoadRegListsTag6, 29, 12, 0x001A, 0x0D09, 0x0010, 0xFA},
    {32, LoadRegListsTag32, 38, 5, 0x0013, 0x0D16, 0x002C, 0xEF},
};

uint16_t KeyAt(const uint8_t *p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

TEST(RegisterLists, FillersWriteKeysTerminatorAndZeros) {
    for (const auto &c : kLists) {
        SCOPED_TRACE(static_cast<int>(c.Tag));
        auto ctx = std::make_unique<VltContext>();
        ctx->RegListA.fill(0x55); // an earlier list must vanish
        ctx->RegListB.fill(0x55);
        c.Fill(*ctx);

        EXPECT_EQ(ctx->RegListACount, c.KeysA);
        EXPECT_EQ(ctx->RegListAKeys, c.KeysA);
        EXPECT_EQ(ctx->RegListBCount, c.EntriesB);
        EXPECT_EQ(KeyAt(&ctx->RegListA[0]), c.FirstA);
        EXPECT_EQ(KeyAt(&ctx->RegListA[2 * (c.KeysA - 1)]), c.LastA);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ctx->RegListA[2 * c.KeysA + i], 0xFF);
        for (int i = 2 * c.KeysA + 4; i < 256; ++i)
            ASSERT_EQ(ctx->RegListA[i], 0) << i;

        EXPECT_EQ(KeyAt(&ctx->RegListB[0]), c.FirstB);
        EXPECT_EQ(ctx->RegListB[2], c.FirstMaskB);
        for (int e = 0; e < c.EntriesB; ++e)
            EXPECT_EQ(ctx->RegListB[4 * e + 3], 0) << e;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(ctx->RegListB[4 * c.EntriesB + i], 0xFF);
        for (int i = 4 * c.EntriesB + 4; i < 256; ++i)
            ASSERT_EQ(ctx->RegListB[i], 0) << i;
        // The bytes beyond the 256 sent are not the fillers' business.
        EXPECT_EQ(ctx->RegListA[256], 0x55);
    }
}

TEST(RegisterLists, Tag16ListsByteForByteWithTheDoubledKey) {
    auto ctx = std::make_unique<VltContext>();
    LoadRegListsTag16(*ctx);
    const uint8_t a[] = {0x1A, 0,    0x1B, 0,    0x1C, 0,    0x1D, 0,    0x1F, 0,    0x20, 0,
                         0x21, 0,    0x22, 0,    0x29, 0,    0x2B, 0,    0x2F, 0,    0x10, 0,
                         0x10, 1,    0x2E, 2,    0x10, 3,    0x1E, 3,    0x26, 3,    0x2E, 3,
                         0x3E, 3,    0x46, 3,    0x46, 3,    0x4E, 3,    0x56, 3,    0x66, 3,
                         0x16, 0x0A, 0x16, 0x0B, 0x16, 0x0C, 0x16, 0x0D, 0xFF, 0xFF, 0xFF, 0xFF};
    for (size_t i = 0; i < sizeof a; ++i)
        EXPECT_EQ(ctx->RegListA[i], a[i]) << i;
    const uint8_t b[] = {0x11, 0, 0x7F, 0, 0x12, 0, 0x77, 0, 0x13, 0,    0xF7, 0,   0x14, 0,
                         0x7F, 0, 0x17, 0, 0x7F, 0, 0x23, 0, 0xBF, 0,    0x2A, 0,   0x12, 0,
                         0x2C, 0, 0xEF, 0, 0x12, 1, 0x7F, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    for (size_t i = 0; i < sizeof b; ++i)
        EXPECT_EQ(ctx->RegListB[i], b[i]) << i;
}

TEST(RegisterLists, DoubledKeysAreKeptAndCounted) {
    auto ctx = std::make_unique<VltContext>();
    struct {
        void (*Fill)(VltContext &);
        uint16_t Key;
    } const cases[] = {{LoadRegListsTag16, 0x0346}, {LoadRegListsTag17, 0x0346}, {LoadRegListsTag6, 0x0110}};
    for (const auto &c : cases) {
        c.Fill(*ctx);
        int copies = 0;
        for (int i = 0; i < ctx->RegListAKeys; ++i)
            copies += KeyAt(&ctx->RegListA[2 * i]) == c.Key;
        EXPECT_EQ(copies, 2) << std::hex << c.Key;
    }
}

TEST(RegisterLists, Lookups) {
    auto ctx = std::make_unique<VltContext>();
    struct {
        void (*Fill)(VltContext &);
        uint16_t Key;
        bool InA;
        uint8_t MaskB;
    } const cases[] = {
        {LoadRegListsTag17, 0x0017, false, 0x7F}, {LoadRegListsTag17, 0x0000, false, 0xFF},
        {LoadRegListsTag2, 0x0310, false, 0xEF},  {LoadRegListsTag16, 0x001A, true, 0xFF},
        {LoadRegListsTag16, 0x001E, false, 0xFF}, {LoadRegListsTag2, 0x001E, true, 0xFF},
        {LoadRegListsTag5, 0x001E, true, 0xFF},   {LoadRegListsTag32, 0x001E, true, 0xFF},
        {LoadRegListsTag32, 0x0D16, true, 0xFF},  {LoadRegListsTag32, 0xFFFF, false, 0xFF},
        {LoadRegListsTag32, 0x0000, false, 0xFF}, {LoadRegListsTag6, 0x0D09, true, 0xFF},
        {LoadRegListsTag6, 0x0D16, false, 0xEF},  {LoadRegListsTag6, 0x0016, false, 0xFF},
        {LoadRegListsTag32, 0x032C, false, 0xEF}, {LoadRegListsTag2, 0x1300, false, 0xFF},
    };
    for (const auto &c : cases) {
        c.Fill(*ctx);
        EXPECT_EQ(IsInRegListA(*ctx, c.Key), c.InA) << std::hex << c.Key;
        EXPECT_EQ(RegMaskOfListB(*ctx, c.Key), c.MaskB) << std::hex << c.Key;
    }
}

// The Generic-area option shares bit 4 of RegListACount; the lookups must see
// every key of the list whichever way the option is set.
TEST(RegisterLists, GenericAreaBitDoesNotChangeTheLookup) {
    auto ctx = std::make_unique<VltContext>();
    LoadRegListsTag2(*ctx);                                                // 29 keys, last 0x0D16
    ctx->RegListACount = static_cast<uint8_t>(ctx->RegListACount & ~0x10); // option cleared: 13
    EXPECT_TRUE(IsInRegListA(*ctx, 0x0D16));
    LoadRegListsTag32(*ctx);    // 38 keys
    ctx->RegListACount |= 0x10; // option set: 54
    EXPECT_TRUE(IsInRegListA(*ctx, 0x0D16));
    EXPECT_FALSE(IsInRegListA(*ctx, 0xFFFF));
    EXPECT_FALSE(IsInRegListA(*ctx, 0x0000));
}

TEST(RegisterLists, EmptyListsAnswerNothing) {
    auto ctx = std::make_unique<VltContext>();
    LoadRegListsTag32(*ctx);
    ctx->RegListAKeys = 0;
    ctx->RegListACount = 0;
    ctx->RegListBCount = 0;
    for (uint16_t key : {0x0000, 0x0013, 0x002C, 0xFFFF}) {
        EXPECT_FALSE(IsInRegListA(*ctx, static_cast<uint16_t>(key)));
        EXPECT_EQ(RegMaskOfListB(*ctx, static_cast<uint16_t>(key)), 0xFF);
    }
}

TEST(RegisterLists, HostileCountsStayInsideTheListArea) {
    auto ctx = std::make_unique<VltContext>();
    ctx->RegListA.fill(0);
    ctx->RegListB.fill(0);
    ctx->RegListA[256] = 0x34; // beyond the 256-byte area
    ctx->RegListA[257] = 0x12;
    ctx->RegListB[256] = 0x34;
    ctx->RegListB[257] = 0x12;
    ctx->RegListB[258] = 0x01;
    ctx->RegListAKeys = 255;
    ctx->RegListBCount = 255;
    EXPECT_FALSE(IsInRegListA(*ctx, 0x1234));
    EXPECT_EQ(RegMaskOfListB(*ctx, 0x1234), 0xFF);
}

TEST(RegisterLists, FlaggedCodesOfTag2) {
    auto ctx = std::make_unique<VltContext>();
    ctx->ChipSubType = 2;
    struct {
        uint16_t Code;
        bool Flagged;
    } const cases[] = {{0x00, false}, {0x27, false}, {0x28, true},  {0x29, true}, {0x2A, false},
                       {0x38, true},  {0x39, true},  {0x41, false}, {0x42, true}, {0x43, true},
                       {0x44, false}, {0x45, false}, {0x46, true},  {0xFF, true}, {0xFFFF, true}};
    for (const auto &c : cases)
        EXPECT_EQ(IsFlaggedCodeTag2(*ctx, c.Code), c.Flagged) << std::hex << c.Code;
    for (uint8_t tag : {0, 16, 3, 0xFF}) {
        ctx->ChipSubType = tag;
        for (const auto &c : cases)
            EXPECT_FALSE(IsFlaggedCodeTag2(*ctx, c.Code));
    }
}

TEST(RegisterLists, DefaultFlagTables) {
    struct {
        uint8_t Tag;
        int Ones;
        std::vector<int> SomeOnes, SomeZeros;
    } const cases[] = {
        {0,
         52,
         {0x02, 0x12, 0x18, 0x1D, 0x1F, 0x2D, 0x30, 0x36, 0x38, 0x3E},
         {0x00, 0x01, 0x13, 0x17, 0x1E, 0x2E, 0x2F, 0x37, 0x3F, 0x7F}},
        {16,
         21,
         {0x02, 0x0D, 0x10, 0x12, 0x18, 0x1A, 0x1F, 0x36, 0x3E},
         {0x01, 0x0E, 0x0F, 0x13, 0x1B, 0x1E, 0x20, 0x37, 0x3F}},
        {64, 8, {0x00, 0x01, 0x3A, 0x3F}, {0x02, 0x39, 0x40, 0x7F}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.Tag));
        auto ctx = std::make_unique<VltContext>();
        ctx->DataBuffer.fill(0x77);
        ctx->ChipSubType = c.Tag;
        LoadDefaultFlags(*ctx);
        int ones = 0;
        for (int i = 0; i < 128; ++i) {
            const uint8_t b = ctx->DataBuffer[2048 + i];
            ASSERT_TRUE(b == 0 || b == 1) << i;
            ones += b;
        }
        EXPECT_EQ(ones, c.Ones);
        for (int i : c.SomeOnes)
            EXPECT_EQ(ctx->DataBuffer[2048 + i], 1) << i;
        for (int i : c.SomeZeros)
            EXPECT_EQ(ctx->DataBuffer[2048 + i], 0) << i;
        EXPECT_EQ(ctx->DataBuffer[2047], 0x77);
        EXPECT_EQ(ctx->DataBuffer[2176], 0x77);
    }
    auto ctx = std::make_unique<VltContext>();
    ctx->DataBuffer.fill(0x77);
    for (uint8_t tag : {1, 2, 32, 63, 65}) {
        ctx->ChipSubType = tag;
        LoadDefaultFlags(*ctx);
    }
    for (auto b : ctx->DataBuffer)
        ASSERT_EQ(b, 0x77);
}

} // namespace
