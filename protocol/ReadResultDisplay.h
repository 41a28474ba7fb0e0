#pragma once
// The read-back summaries of the main window after a Read Chip.
#include <cstdint>

struct VltContext;

void ShowReadResult(VltContext &ctx);
void ShowChipInformation(VltContext &ctx);
void ShowReadResultNone(VltContext &ctx);
