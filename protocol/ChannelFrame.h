#pragma once
// Takes the next frame out of a channel's receive buffer into its packet area.
#include <cstdint>

struct VltContext;

// Decodes from the first rxCount bytes of channel n's receive buffer, stores
// the receive count left after it, and gives the frame result with the
// decoded length in `length`.
uint8_t DecodeChannelFrame(VltContext &ctx, int n, uint16_t rxCount, uint16_t &length);
