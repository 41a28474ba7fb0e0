#pragma once
// Copies the "Chip Setting" controls into the chip settings before a command.
struct VltContext;

// Throws the integer-conversion error when the device address text is not a
// number; nothing but the block positions has changed then.
void CollectSettings(VltContext &ctx);
