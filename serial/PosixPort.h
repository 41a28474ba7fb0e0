#pragma once
// Thin wrappers over the POSIX serial services the port component needs.
#include <cstdint>
#include <string>

// "ttyUSB0" -> "/dev/ttyUSB0"; a name holding "/" is a path and stays as given.
std::string PortDevicePath(const std::string &name);

// Opens the device read/write without making it the controlling terminal,
// non-blocking, and takes an exclusive lock on it (flock: TIOCEXCL alone does
// not stop root). -1 when it cannot be opened or someone holds it, by the lock
// or by exclusive mode.
int OpenPortExclusive(const std::string &name);

// Closes a descriptor from OpenPortExclusive, dropping a TIOCEXCL it may hold
// (a pseudo-terminal keeps the flag after its last close).
void ClosePortHandle(int fd);

// Driver counters of line errors and modem lines, where the driver keeps them.
struct TLineCounters {
    uint32_t Frame = 0, Overrun = 0, Parity = 0, Break = 0, BufOverrun = 0;
    uint32_t Carrier = 0, Ring = 0;
};
bool ReadLineCounters(int fd, TLineCounters &out);
// The OnReceiveError bits and OnModemStateChange bits of a change of counters.
uint32_t LineErrorBits(const TLineCounters &before, const TLineCounters &after);
uint32_t ModemBits(const TLineCounters &before, const TLineCounters &after);

// Sets (on) or clears a modem-control line (TIOCM_DTR, TIOCM_RTS); devices
// without modem lines (pseudo-terminals) are not an error.
void SetModemLine(int fd, int line, bool on);

// Manual-reset event that poll can wait on: an eventfd that stays readable
// once signalled.
int CreatePollEvent();
void SignalPollEvent(int fd);
bool PollEventSignalled(int fd);
// Reads a wake-up count so the eventfd is quiet again.
void DrainPollEvent(int fd);
