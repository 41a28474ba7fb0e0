#pragma once
// The serial events of the four channels and the 10 ms timer that ends the
// operations nobody answers.
#include <cstdint>

struct VltContext;

// OnReceiveData of SPxComm1..4: a block of 1..2048 received bytes.
void SPxCommReceiveData(VltContext &ctx, int n, const uint8_t *buffer, uint16_t length);
// OnReceiveError of SPxComm1..4; the mask is not used.
void SPxCommReceiveError(VltContext &ctx, int n, uint32_t eventMask);
// OnRequestHangup of SPxComm1..4.
void SPxCommRequestHangup(VltContext &ctx, int n);
// Timer1: every 10 ms, counts the time-out of each busy channel down.
void Timer1Timer(VltContext &ctx);
