#pragma once
// The life of one channel operation: start, end with success or failure, the
// channel's line in the information panel and the status messages.
#include <cstdint>
#include <string>

struct VltContext;

// Appends "> date time Device n : text" to the information panel.
void MemoDeviceLine(VltContext &ctx, int n, const std::string &text);
// Starts an operation; the caller has set the operation code already.
void BeginOperation(VltContext &ctx, int n);
// Ends the operation: idle again, gauge blue (0) or red (otherwise), one line.
void EndOperation(VltContext &ctx, int n, uint8_t failed);
// The operator's text for a status byte.
std::string StatusMessageText(uint8_t code);
// Shows the status in a modal box (beep first on success), then writes it.
void ShowStatusMessage(VltContext &ctx, int n, uint8_t code);
