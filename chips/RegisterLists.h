#pragma once
// The per-model register lists that travel in the setup, program and verify
// packets and steer the register verify, plus two small chip-dependent tables.
#include <cstdint>

struct VltContext;

// Refill both lists and both counts for one chip sub-type.
void LoadRegListsTag2(VltContext &ctx);
void LoadRegListsTag16(VltContext &ctx);
void LoadRegListsTag5(VltContext &ctx);
void LoadRegListsTag17(VltContext &ctx);
void LoadRegListsTag6(VltContext &ctx);
void LoadRegListsTag32(VltContext &ctx);

// True when the key (page in the high byte) is one of the keys the list filler
// wrote into list A. The lookup counts RegListAKeys, not RegListACount: bit 4
// of that byte carries the Generic-area option as well.
bool IsInRegListA(const VltContext &ctx, uint16_t key);

// Mask of the first list-B entry with this key; 0xFF when none matches.
uint8_t RegMaskOfListB(const VltContext &ctx, uint16_t key);

// Register indices that the model with sub-type 2 leaves out of the 8-bit verify.
bool IsFlaggedCodeTag2(const VltContext &ctx, uint16_t code);

// Copies the default flag table of the current sub-type (0, 16 or 64) into
// DataBuffer[2048..2175]; other sub-types leave the buffer alone.
void LoadDefaultFlags(VltContext &ctx);
