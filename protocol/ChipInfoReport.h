#pragma once
// Chip information printers for the reply to Read Chip Information (channel 1).
// Each writes its lines and tells whether the chip was identified.
struct VltContext;

bool PrintChipInfoDefault(VltContext &ctx);
bool PrintChipInfoFam48(VltContext &ctx);
bool PrintChipInfoFam5(VltContext &ctx);
bool PrintChipInfoFam16(VltContext &ctx);
bool PrintChipInfoFam64(VltContext &ctx);
