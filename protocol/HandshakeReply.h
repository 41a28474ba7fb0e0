#pragma once
// The programmer's answer to the probe: recognise it by its device name and
// mark the channel connected.
#include <cstdint>

struct VltContext;

// A complete frame is in the channel's receive buffer (rxCount bytes) and the
// channel is not connected yet.
void HandleHandshakeReply(VltContext &ctx, int n, uint16_t rxCount);
