#pragma once
// The replies of a connected programmer: decode, check, move the channel's
// operation one step on.
#include <cstdint>

struct VltContext;

// A complete frame is in the channel's receive buffer (rxCount bytes).
// False when the frame was not taken: it did not decode, or an idle channel
// found no progress report in it.
bool HandleResponse(VltContext &ctx, int n, uint16_t rxCount);

// Step handlers, called by HandleResponse after a good status.
void OnHeaderAck(VltContext &ctx, int n);
void OnDataBlockAck(VltContext &ctx, int n);
void OnProgramReply(VltContext &ctx, int n);
void OnVerifyReply(VltContext &ctx, int n);
void CompareDataBlock(VltContext &ctx, int n);
void OnChipInfoReply(VltContext &ctx, int n);
// Read Chip runs on channel 1 only.
void OnReadBlockReply(VltContext &ctx);
