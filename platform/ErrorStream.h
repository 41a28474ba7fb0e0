#pragma once
// Texts for the standard error stream that cannot hold the program: a plain
// write to a stream whose reader stops reading (a full pipe, a stopped
// terminal) blocks for good. The writes of one TErrorStream share a time
// budget; a write still blocked when it is spent is cut short, and later
// texts are dropped at once. Only the time spent waiting on the stream counts.
// A write is bounded by a timer that interrupts the calling thread alone
// (SIGALRM, with a handler that does nothing, only for the write); the
// program's own handling of SIGALRM is put back after it. Not thread-safe.
#include <chrono>
#include <string_view>

// From now on no write to the descriptor waits, those of the toolkit and the
// libraries included: their messages would otherwise block the program in a
// full pipe nobody reads, past every signal. A pipe, FIFO or terminal gets a
// non-blocking open file description of its own, opened again through /proc;
// whoever else shares the old one (the parent, a launcher) keeps it as it
// was. A regular file never blocks; what cannot be opened again (a socket, a
// pseudo-terminal's master side, or anything without /proc) stays as it is. Writes that meet a full stream
// then fail at once; TErrorStream still waits its budget. Made at start, in main.
void NeverBlockOn(int fd);

// Writes what the descriptor takes at once and drops the rest; safe from any
// thread. A socket (a service manager's journal) cannot be opened again as
// NeverBlockOn does, so it is sent to without waiting; a stream that still
// blocks (a pseudo-terminal master) is made non-blocking for the write only.
// False when not all of the text went.
bool WriteWithoutWaiting(int fd, std::string_view text);

class TErrorStream {
public:
    explicit TErrorStream(std::chrono::milliseconds budget, int fd = 2);

    // Writes the text whole, or what the stream takes of it within the budget
    // left. False when it was not written whole.
    bool Write(std::string_view text);
    // The budget is spent: further texts are dropped.
    bool Stuck() const { return Spent >= Budget; }

private:
    std::chrono::nanoseconds Budget;
    std::chrono::nanoseconds Spent{0};
    int Fd;
};
