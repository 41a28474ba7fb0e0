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

// Copies the default flag table of the current sub-type (0, 16 or 64) into
// DataBuffer[2048..2175]; other sub-types leave the buffer alone.
void LoadDefaultFlags(VltContext &ctx);
