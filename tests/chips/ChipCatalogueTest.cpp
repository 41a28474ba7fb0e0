#include <gtest/gtest.h>

#include <memory>

#include "chips/ChipCatalogue.h"
#include "state/VltContext.h"

namespace {

struct ModelCase {
    const char *Caption;
    uint8_t Tag;
    bool Shown;
    uint8_t Id0, Id1;
    int RegBase, RegEnd, RegFirst, ParamA; // -1: left as it was
    uint8_t Address;
    int KeysA; // -1: lists left as they were (count A cleared)
    int EntriesB;
};

// Expected values of each menu row, in menu order.
const ModelCase kRows[] = {
    {"Vt7115", 2, true, 0xC0, 0xE9, 0x2A, 0x00, 0x01, 0x00, 0x68, 29, 6},
    {"Vt7117", 16, true, 0xC0, 0xED, 0x2A, 0x00, 0x01, 0x00, 0x6C, 28, 9},
    {"Vt7127", 17, true, 0xC2, 0x88, 0x12, 0x00, 0x01, 0x00, 0x6C, 26, 9},
    {"Vt7125", 5, true, 0xC2, 0x00, 0x12, 0x00, 0x01, 0x00, 0x68, 30, 5},
    {"Vt7129", 6, true, 0x26, 0x26, 0x10, 0x01, 0x10, 0x01, 0x68, 29, 12},
    {"Vt7129-2F", 6, false, 0x2F, 0x2F, 0x10, 0x01, 0x10, 0x01, 0x68, 29, 12},
    {"Vt7112", 0, false, 0xC0, 0xE9, -1, -1, -1, -1, 0x68, -1, -1},
    {"Vt7114", 1, false, 0xC0, 0xE9, -1, -1, -1, -1, 0x68, -1, -1},
    {"Vt7122", 3, false, 0xC0, 0x5F, -1, -1, -1, -1, 0x68, -1, -1},
    {"Vt7124", 4, false, 0xC1, 0xE9, 0x29, 0x00, 0x01, 0x00, 0x68, -1, -1},
    {"Vt7131", 32, true, 0xC2, 0x80, 0x11, 0x02, 0x01, 0x00, 0x68, 38, 5},
};

TEST(ChipCatalogue, EveryModelWritesItsRow) {
    ASSERT_EQ(std::size(kRows), ChipModels().size());
    for (int i = 0; i < kChipModelCount; ++i) {
        const ModelCase &r = kRows[i];
        SCOPED_TRACE(r.Caption);
        EXPECT_EQ(ChipModels()[i].Caption, r.Caption);
        EXPECT_EQ(ChipModels()[i].Shown, r.Shown);

        auto ctx = std::make_unique<VltContext>();
        // A previous model's state, to see what the row leaves alone.
        ctx->RegBase = 0xA1;
        ctx->RegEnd = 0xA2;
        ctx->RegFirst = 0xA3;
        ctx->ChipParamA = 0xA4;
        ctx->RegListA.fill(0x5A);
        ctx->RegListB.fill(0x5B);
        ctx->RegListACount = 0x77;
        ctx->RegListAKeys = 0x77;
        ctx->RegListBCount = 0x33;
        ctx->ChipFamily = 5;
        ctx->VerifyFlags = 0x40;
        ctx->FamilyParam1 = 4;

        ApplyChipModel(*ctx, i);

        EXPECT_EQ(ctx->ChipFamily, 48);
        EXPECT_EQ(ctx->ChipSubType, r.Tag);
        EXPECT_EQ(ctx->ChipId[0], r.Id0);
        EXPECT_EQ(ctx->ChipId[1], r.Id1);
        EXPECT_EQ(ctx->DeviceAddress, r.Address);
        EXPECT_EQ(ctx->RegBase, r.RegBase < 0 ? 0xA1 : r.RegBase);
        EXPECT_EQ(ctx->RegEnd, r.RegEnd < 0 ? 0xA2 : r.RegEnd);
        EXPECT_EQ(ctx->RegFirst, r.RegFirst < 0 ? 0xA3 : r.RegFirst);
        EXPECT_EQ(ctx->ChipParamA, r.ParamA < 0 ? 0xA4 : r.ParamA);
        if (r.KeysA < 0) {
            EXPECT_EQ(ctx->RegListACount, 0);
            EXPECT_EQ(ctx->RegListAKeys, 0);
            EXPECT_EQ(ctx->RegListBCount, 0x33);
            EXPECT_EQ(ctx->RegListA[0], 0x5A);
            EXPECT_EQ(ctx->RegListB[0], 0x5B);
        } else {
            EXPECT_EQ(ctx->RegListACount, r.KeysA);
            EXPECT_EQ(ctx->RegListBCount, r.EntriesB);
        }
        // The shared defaults.
        EXPECT_EQ(ctx->SpecialCommand, 0xD0);
        EXPECT_EQ(ctx->VerifyFlags, 0);
        EXPECT_EQ(ctx->FamilyParam1, 0);
        EXPECT_EQ(ctx->RangeCheckWord, 0x000F);
        EXPECT_EQ(ctx->RangeSum, 0xC00F);
        EXPECT_EQ(ctx->RefCheckWord, 0x000F);
        EXPECT_EQ(ctx->RefSum, 0x512F);
        EXPECT_EQ(ctx->ChipParamWord, 0x000D);
        EXPECT_EQ(ctx->ChipConfig, (std::array<uint8_t, 4>{0x10, 0xC0, 0x00, 0x50}));
    }
}

} // namespace
