#pragma once
// Lookups in the register lists of the working data.
#include <cstdint>

struct VltContext;

// True when the key (page in the high byte) is one of the keys the list filler
// wrote into list A. The lookup counts RegListAKeys, not RegListACount: bit 4
// of that byte carries the Generic-area option as well.
bool IsInRegListA(const VltContext &ctx, uint16_t key);

// Mask of the first list-B entry with this key; 0xFF when none matches.
uint8_t RegMaskOfListB(const VltContext &ctx, uint16_t key);

// Register indices that the model with sub-type 2 leaves out of the 8-bit verify.
bool IsFlaggedCodeTag2(const VltContext &ctx, uint16_t code);
