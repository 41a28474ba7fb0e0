#pragma once
// The two buffer viewers and the checksum lines of the read buffer.
#include <cstdint>

struct VltContext;

void FillHexViewer(VltContext &ctx);
void FillReadView(VltContext &ctx, uint16_t from, uint16_t to);
void ShowReadChecksums(VltContext &ctx, uint16_t from, uint16_t to);
void ShowReadParamChecksum(VltContext &ctx);
