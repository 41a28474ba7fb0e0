#pragma once
// Line speed through the kernel's termios2 request, so that any rate the
// driver supports can be set, not only the standard ones.
#include <cstdint>

// Sets the input and output speed of fd to rate and reads back what the
// driver took. False when rate is 0 (that would hang the line up), when the
// request fails, or when the driver runs at another rate.
bool SetLineSpeed(int fd, uint32_t rate);
// The termios speed code of a standard rate (the same in both termios
// structures); 0 when the rate has none.
unsigned StandardSpeedCode(uint32_t rate);
// The output and input speeds the driver reports for fd.
bool ReadLineSpeed(int fd, uint32_t &output, uint32_t &input);
// The driver's rate counts as the asked one within 2 %, as the kernel itself
// matches a rate to the standard speeds; a line further off garbles frames.
bool SpeedMatches(uint32_t asked, uint32_t actual);
