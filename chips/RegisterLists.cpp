#include "chips/RegisterLists.h"

#include <algorithm>
#include <array>
#include <span>

#include "state/VltContext.h"

namespace {

struct MaskEntry {
    uint16_t Key;
    uint8_t Mask;
};

// The list area is 256 bytes; the terminator takes one 4-byte slot.
constexpr size_t kListArea = 256;
constexpr size_t kMaxKeysA = (kListArea - 4) / 2;
constexpr size_t kMaxEntriesB = (kListArea - 4) / 4;

// Doubled keys are part of the models' lists and are sent as they stand.
constexpr uint16_t kListATag2[] = {0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F, 0x0020, 0x0021,
                                   0x0022, 0x0029, 0x002B, 0x002F, 0x0010, 0x0110, 0x022E, 0x0316,
                                   0x031E, 0x0326, 0x032E, 0x0336, 0x033E, 0x0346, 0x034E, 0x0356,
                                   0x0366, 0x0A16, 0x0B16, 0x0C16, 0x0D16};
constexpr uint16_t kListATag16[] = {0x001A, 0x001B, 0x001C, 0x001D, 0x001F, 0x0020, 0x0021,
                                    0x0022, 0x0029, 0x002B, 0x002F, 0x0010, 0x0110, 0x022E,
                                    0x0310, 0x031E, 0x0326, 0x032E, 0x033E, 0x0346, 0x0346,
                                    0x034E, 0x0356, 0x0366, 0x0A16, 0x0B16, 0x0C16, 0x0D16};
constexpr uint16_t kListATag5[] = {0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F, 0x0020, 0x0021,
                                   0x0022, 0x0029, 0x002B, 0x002F, 0x002A, 0x002C, 0x0110, 0x022E,
                                   0x0316, 0x031E, 0x0326, 0x032E, 0x0336, 0x033E, 0x0346, 0x034E,
                                   0x0356, 0x0366, 0x0A16, 0x0B16, 0x0C16, 0x0D16};
constexpr uint16_t kListATag17[] = {0x001A, 0x001B, 0x001C, 0x001D, 0x001F, 0x0020, 0x0021, 0x0022, 0x002B,
                                    0x002F, 0x0110, 0x022E, 0x0310, 0x031E, 0x0326, 0x032E, 0x033E, 0x0346,
                                    0x0346, 0x034E, 0x0356, 0x0366, 0x0A16, 0x0B16, 0x0C16, 0x0D16};
constexpr uint16_t kListATag6[] = {0x001A, 0x001B, 0x001C, 0x001D, 0x001F, 0x0020, 0x0021, 0x0022,
                                   0x002B, 0x002F, 0x0104, 0x0108, 0x0110, 0x0110, 0x0316, 0x031E,
                                   0x0326, 0x032E, 0x0336, 0x033E, 0x0346, 0x034E, 0x0356, 0x036E,
                                   0x0366, 0x0A09, 0x0B09, 0x0C09, 0x0D09};
constexpr uint16_t kListATag32[] = {
    0x0013, 0x0017, 0x001A, 0x001B, 0x001C, 0x001D, 0x001E, 0x001F, 0x0020, 0x0021, 0x0022, 0x0023, 0x0029,
    0x002A, 0x002B, 0x00E0, 0x00E1, 0x0110, 0x0211, 0x0221, 0x0231, 0x0241, 0x022E, 0x0316, 0x031E, 0x0326,
    0x032E, 0x0336, 0x033E, 0x0346, 0x034E, 0x0356, 0x0366, 0x036E, 0x0A16, 0x0B16, 0x0C16, 0x0D16};

constexpr MaskEntry kListBTag2[] = {{0x0013, 0x7F}, {0x0017, 0x7F}, {0x002A, 0x16},
                                    {0x002C, 0xEF}, {0x0112, 0x7F}, {0x0310, 0xEF}};
constexpr MaskEntry kListBTag16[] = {{0x0011, 0x7F}, {0x0012, 0x77}, {0x0013, 0xF7},
                                     {0x0014, 0x7F}, {0x0017, 0x7F}, {0x0023, 0xBF},
                                     {0x002A, 0x12}, {0x002C, 0xEF}, {0x0112, 0x7F}};
constexpr MaskEntry kListBTag5[] = {
    {0x0013, 0xF7}, {0x0017, 0x7F}, {0x002C, 0xEF}, {0x0112, 0x7F}, {0x0310, 0xEF}};
constexpr MaskEntry kListBTag17[] = {{0x0011, 0xF7}, {0x0012, 0x77}, {0x0013, 0xF7},
                                     {0x0014, 0x7F}, {0x0017, 0x7F}, {0x0023, 0xBF},
                                     {0x0029, 0xFD}, {0x002C, 0xEF}, {0x0112, 0x7F}};
constexpr MaskEntry kListBTag6[] = {{0x0010, 0xFA}, {0x0013, 0xF7}, {0x0017, 0x7F}, {0x0024, 0x6C},
                                    {0x0029, 0xFE}, {0x002A, 0x16}, {0x002C, 0xEF}, {0x0112, 0x7F},
                                    {0x022E, 0x7F}, {0x0310, 0xEF}, {0x0B16, 0xEF}, {0x0D16, 0xEF}};
constexpr MaskEntry kListBTag32[] = {
    {0x002C, 0xEF}, {0x002F, 0xAF}, {0x0112, 0x7F}, {0x0310, 0xEF}, {0x032C, 0xEF}};

void FillLists(VltContext &ctx, std::span<const uint16_t> a, std::span<const MaskEntry> b) {
    std::fill_n(ctx.RegListA.begin(), kListArea, uint8_t{0});
    std::fill_n(ctx.RegListB.begin(), kListArea, uint8_t{0});

    const size_t na = std::min(a.size(), kMaxKeysA);
    size_t p = 0;
    for (size_t i = 0; i < na; ++i) {
        ctx.RegListA[p++] = static_cast<uint8_t>(a[i] & 0xFF);
        ctx.RegListA[p++] = static_cast<uint8_t>(a[i] >> 8);
    }
    std::fill_n(ctx.RegListA.begin() + static_cast<long>(p), 4, uint8_t{0xFF});
    ctx.RegListACount = static_cast<uint8_t>(na);
    ctx.RegListAKeys = static_cast<uint8_t>(na);

    const size_t nb = std::min(b.size(), kMaxEntriesB);
    p = 0;
    for (size_t i = 0; i < nb; ++i) {
        ctx.RegListB[p++] = static_cast<uint8_t>(b[i].Key & 0xFF);
        ctx.RegListB[p++] = static_cast<uint8_t>(b[i].Key >> 8);
        ctx.RegListB[p++] = b[i].Mask;
        ctx.RegListB[p++] = 0;
    }
    std::fill_n(ctx.RegListB.begin() + static_cast<long>(p), 4, uint8_t{0xFF});
    ctx.RegListBCount = static_cast<uint8_t>(nb);
}

// Sub-type 0, 16 and 64 tables: the indices whose flag is 1, as ranges.
struct FlagRange {
    uint8_t First, Last;
};
constexpr FlagRange kFlagsTag0[] = {{0x02, 0x12}, {0x18, 0x1D}, {0x1F, 0x2D}, {0x30, 0x36}, {0x38, 0x3E}};
constexpr FlagRange kFlagsTag16[] = {{0x02, 0x0D}, {0x10, 0x12}, {0x18, 0x1A},
                                     {0x1F, 0x1F}, {0x36, 0x36}, {0x3E, 0x3E}};
constexpr FlagRange kFlagsTag64[] = {{0x00, 0x01}, {0x3A, 0x3F}};

constexpr size_t kFlagTableSize = 128;
constexpr size_t kFlagTableOffset = 2048;

constexpr std::array<uint8_t, kFlagTableSize> MakeFlagTable(std::span<const FlagRange> ranges) {
    std::array<uint8_t, kFlagTableSize> t{};
    for (const auto &r : ranges)
        for (size_t i = r.First; i <= r.Last && i < kFlagTableSize; ++i)
            t[i] = 1;
    return t;
}

constexpr auto kFlagTable0 = MakeFlagTable(kFlagsTag0);
constexpr auto kFlagTable16 = MakeFlagTable(kFlagsTag16);
constexpr auto kFlagTable64 = MakeFlagTable(kFlagsTag64);

} // namespace

void LoadRegListsTag2(VltContext &ctx) {
    FillLists(ctx, kListATag2, kListBTag2);
}
void LoadRegListsTag16(VltContext &ctx) {
    FillLists(ctx, kListATag16, kListBTag16);
}
void LoadRegListsTag5(VltContext &ctx) {
    FillLists(ctx, kListATag5, kListBTag5);
}
void LoadRegListsTag17(VltContext &ctx) {
    FillLists(ctx, kListATag17, kListBTag17);
}
void LoadRegListsTag6(VltContext &ctx) {
    FillLists(ctx, kListATag6, kListBTag6);
}
void LoadRegListsTag32(VltContext &ctx) {
    FillLists(ctx, kListATag32, kListBTag32);
}

void LoadDefaultFlags(VltContext &ctx) {
    const std::array<uint8_t, kFlagTableSize> *table = nullptr;
    switch (ctx.ChipSubType) {
    case 0:
        table = &kFlagTable0;
        break;
    case 16:
        table = &kFlagTable16;
        break;
    case 64:
        table = &kFlagTable64;
        break;
    default:
        return;
    }
    std::copy(table->begin(), table->end(), ctx.DataBuffer.begin() + kFlagTableOffset);
}
