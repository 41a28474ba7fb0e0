#pragma once
// Turns a register or command chip's read-out (ReadBuffer, channel 1's reply)
// into the family's display.
struct VltContext;

void PostProcessReadOut(VltContext &ctx);
void MergeReadFam16(VltContext &ctx);
void CopyReadFam48(VltContext &ctx);
void ShowReadFam24(VltContext &ctx);
