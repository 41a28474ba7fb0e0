#pragma once
// Choosing the target chip: the chip menu button and the reaction to a new
// chip type text.
struct VltContext;

// The chip type text changed: common state, selection line, family setup.
void MCUNameEditChange(VltContext &ctx);
// Shows the chip menu window beside the chip type field.
void DevButtonClick(VltContext &ctx);
