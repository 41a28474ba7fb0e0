#pragma once
// The five channel commands: Download, Program and Verify on every connected
// idle channel, Read Chip Information and Read Chip on channel 1.
struct VltContext;

void SpdBtnDownLoadClick(VltContext &ctx);
void SpdBtnProgClick(VltContext &ctx);
void SpdBtnVerifyClick(VltContext &ctx);
void ReadChipInformation1Click(VltContext &ctx);
void SpeedButtonRDClick(VltContext &ctx);
