#pragma once
// The chip models the chip menu offers and what choosing one writes.
#include <array>
#include <cstdint>
#include <string_view>

struct VltContext;

using TRegListFiller = void (*)(VltContext &);

struct TChipModel {
    std::string_view Component; // name of its menu item
    std::string_view Caption;
    uint8_t Tag; // becomes ChipSubType
    bool Shown;
    std::array<uint8_t, 2> ChipId;
    bool SetsRegBytes;
    std::array<uint8_t, 4> RegBytes; // RegBase, RegEnd, RegFirst, ChipParamA
    uint8_t DeviceAddress;
    TRegListFiller Filler; // nullptr: the model has no register lists
};

constexpr int kChipModelCount = 11;

// The models in menu order.
const std::array<TChipModel, kChipModelCount> &ChipModels();

// The chip parameters every model shares.
void SetChipDefaults(VltContext &ctx);

// Writes the parameters and lists of model i (menu order) into ctx: steps 1-8
// of a menu choice; the caller then sets the chip type text and closes the menu.
void ApplyChipModel(VltContext &ctx, int i);
