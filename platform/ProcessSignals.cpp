#include "platform/ProcessSignals.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <optional>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// The threads of this process, from /proc; nothing when it cannot be read.
std::optional<size_t> RunningThreads() {
    DIR *tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return std::nullopt;
    size_t count = 0;
    while (const dirent *e = ::readdir(tasks))
        if (e->d_name[0] != '.')
            ++count;
    ::closedir(tasks);
    return count;
}

// A thread that runs already keeps the signals unblocked: one sent to the
// program could land there and end it at once, with no close, its ports held.
// This happens only where the toolkit starts threads (on a real display, not
// offscreen), so it is refused here, whatever the display. Without /proc the
// threads cannot be counted and the setup goes on.
void RefuseAfterAThread() {
    const auto threads = RunningThreads();
    if (!threads || *threads <= 1)
        return;
    std::fprintf(stderr,
                 "TEndSignals: made with %zu threads running; the end signals must be blocked before any "
                 "thread starts (first thing in main, before the toolkit)\n",
                 *threads);
    std::abort();
}

} // namespace

void IgnoreWriteSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
    ::sigaction(SIGXFSZ, &ignore, nullptr);
    // Started in the background of a terminal set to `tostop`: a message to
    // it would stop the program until someone brought it to the front.
    ::sigaction(SIGTTOU, &ignore, nullptr);
}

TEndSignals::TEndSignals() {
    RefuseAfterAThread();
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
