#include "chips/ChipCatalogue.h"

#include "chips/RegisterLists.h"
#include "state/VltContext.h"

namespace {

constexpr uint8_t kChipFamilyOfCatalogue = 48;

constexpr std::array<TChipModel, kChipModelCount> kModels = {{
    {"Vt71151", "Vt7115", 2, true, {0xC0, 0xE9}, true, {0x2A, 0x00, 0x01, 0x00}, 0x68, LoadRegListsTag2},
    {"Vt71171", "Vt7117", 16, true, {0xC0, 0xED}, true, {0x2A, 0x00, 0x01, 0x00}, 0x6C, LoadRegListsTag16},
    {"Vt71271", "Vt7127", 17, true, {0xC2, 0x88}, true, {0x12, 0x00, 0x01, 0x00}, 0x6C, LoadRegListsTag17},
    {"Vt71251", "Vt7125", 5, true, {0xC2, 0x00}, true, {0x12, 0x00, 0x01, 0x00}, 0x68, LoadRegListsTag5},
    {"Vt71291", "Vt7129", 6, true, {0x26, 0x26}, true, {0x10, 0x01, 0x10, 0x01}, 0x68, LoadRegListsTag6},
    {"Vt71292F1",
     "Vt7129-2F",
     6,
     false,
     {0x2F, 0x2F},
     true,
     {0x10, 0x01, 0x10, 0x01},
     0x68,
     LoadRegListsTag6},
    {"VT71121", "Vt7112", 0, false, {0xC0, 0xE9}, false, {}, 0x68, nullptr},
    {"Vt71141", "Vt7114", 1, false, {0xC0, 0xE9}, false, {}, 0x68, nullptr},
    {"Vt71221", "Vt7122", 3, false, {0xC0, 0x5F}, false, {}, 0x68, nullptr},
    {"Vt71241", "Vt7124", 4, false, {0xC1, 0xE9}, true, {0x29, 0x00, 0x01, 0x00}, 0x68, nullptr},
    {"Vt71311", "Vt7131", 32, true, {0xC2, 0x80}, true, {0x11, 0x02, 0x01, 0x00}, 0x68, LoadRegListsTag32},
}};

} // namespace

const std::array<TChipModel, kChipModelCount> &ChipModels() {
    return kModels;
}

void SetChipDefaults(VltContext &ctx) {
    ctx.SpecialCommand = 0xD0;
    ctx.VerifyFlags = 0x00;
    ctx.FamilyParam1 = 0x00;
    ctx.RangeCheckWord = 0x000F;
    ctx.RangeSum = 0xC00F;
    ctx.RefCheckWord = 0x000F;
    ctx.RefSum = 0x512F;
    ctx.ChipParamWord = 0x000D;
    ctx.ChipConfig = {0x10, 0xC0, 0x00, 0x50};
}

void ApplyChipModel(VltContext &ctx, int i) {
    if (i < 0 || i >= kChipModelCount)
        return;
    const TChipModel &m = kModels[static_cast<size_t>(i)];
    ctx.ChipId = m.ChipId;
    if (m.SetsRegBytes) {
        ctx.RegBase = m.RegBytes[0];
        ctx.RegEnd = m.RegBytes[1];
        ctx.RegFirst = m.RegBytes[2];
        ctx.ChipParamA = m.RegBytes[3];
    }
    ctx.DeviceAddress = m.DeviceAddress;
    if (!m.Filler) {
        // The list areas and list B's count stay as the previous model left them.
        ctx.RegListACount = 0;
        ctx.RegListAKeys = 0;
    }
    ctx.ChipFamily = kChipFamilyOfCatalogue;
    ctx.ChipSubType = m.Tag;
    SetChipDefaults(ctx);
    if (m.Filler)
        m.Filler(ctx);
}
