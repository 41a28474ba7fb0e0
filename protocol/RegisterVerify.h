#pragma once
// Verification of register and command chips: the reply to the verify command
// in the channel's packet area is compared with DataBuffer, every difference
// gets a line, and the routine ends the channel's operation itself.
#include <cstdint>

struct VltContext;

void VerifyRegsA(VltContext &ctx, int n);
void VerifyCmdList(VltContext &ctx, int n);
void VerifyRegsFam48(VltContext &ctx, int n);
void VerifyRegsFam5(VltContext &ctx, int n);
void VerifyRegsFam16(VltContext &ctx, int n);
void VerifyBlockFam64(VltContext &ctx, int n);
void VerifyNoneFam224(VltContext &ctx, int n);

// Value of the key in the channel's 22-entry reply table; the last entry with the key wins, 0 when none.
uint8_t ReplyTableLookup(const VltContext &ctx, int n, uint8_t key);
