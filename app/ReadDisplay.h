#pragma once
// The two buffer viewers and the read-back summaries of the main window.
#include <cstdint>

struct VltContext;

void FillHexViewer(VltContext &ctx);
void FillReadView(VltContext &ctx, uint16_t from, uint16_t to);
void ShowReadChecksums(VltContext &ctx, uint16_t from, uint16_t to);
void ShowReadResult(VltContext &ctx);
void ShowChipInformation(VltContext &ctx);
void ShowReadParamChecksum(VltContext &ctx);
void ShowReadResultNone(VltContext &ctx);
