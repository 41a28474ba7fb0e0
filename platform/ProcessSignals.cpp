#include "platform/ProcessSignals.h"

#include <cerrno>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

void IgnoreWriteSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
}

TEndSignals::TEndSignals() {
    sigset_t set, old;
    sigemptyset(&set);
    for (int s : {SIGTERM, SIGHUP, SIGINT}) {
        struct sigaction now {};
        // A blocked signal is queued even when ignored: one the program was
        // started to ignore must not close it.
        if (::sigaction(s, nullptr, &now) == 0 && now.sa_handler == SIG_IGN)
            continue;
        sigaddset(&set, s);
    }
    if (::pthread_sigmask(SIG_BLOCK, &set, &old) != 0)
        return;
    FFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (FFd < 0)
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

// The mask stays: a signal still pending would otherwise end the program
// on its way out, after its close has been done.
TEndSignals::~TEndSignals() {
    if (FFd >= 0)
        ::close(FFd);
}

std::optional<int> TEndSignals::Next() {
    if (FFd < 0)
        return std::nullopt;
    signalfd_siginfo info;
    for (;;) {
        const ssize_t n = ::read(FFd, &info, sizeof info);
        if (n == static_cast<ssize_t>(sizeof info))
            return static_cast<int>(info.ssi_signo);
        if (n < 0 && errno == EINTR)
            continue;
        return std::nullopt;
    }
}
