#pragma once
// The program's signal setup, made first thing in main, before any thread
// starts. A write to a pipe whose reader is gone or past the file size limit
// fails with EPIPE or EFBIG, like any write error, instead of ending the
// program. The signals that ask the program to end are not acted on where
// they land: they are blocked and read from a descriptor by the main loop,
// which closes the window as its close button does.
#include <optional>

// SIGPIPE and SIGXFSZ ignored; SIGTTOU too, so that writing to a terminal
// from the background never stops the program.
void IgnoreWriteSignals();

// SIGTERM, SIGHUP and SIGINT blocked in the calling thread (and so in every
// thread it starts later) and readable from Fd(). Made while another thread
// runs, it says so on stderr and aborts the program. A signal that was ignored
// when the program started (nohup, a background job) stays ignored. Without a
// descriptor (Fd() < 0) nothing is blocked: the signals end the program as
// they did.
class TEndSignals {
public:
    TEndSignals();
    ~TEndSignals();
    TEndSignals(const TEndSignals &) = delete;
    TEndSignals &operator=(const TEndSignals &) = delete;

    int Fd() const { return FFd; }
    // The next signal that came, without waiting; nothing when none is pending.
    std::optional<int> Next();

private:
    int FFd = -1;
};
