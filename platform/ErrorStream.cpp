#include "platform/ErrorStream.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Only there so that the signal interrupts the blocked call.
void Interrupt(int) {}

// A timer that sends SIGALRM to this thread alone once `left` has passed,
// and again every few milliseconds after (one that came just before a call
// blocked would leave it blocked), with a handler that only interrupts (no
// SA_RESTART). Everything as it was when it goes.
class TWriteDeadline {
public:
    explicit TWriteDeadline(std::chrono::nanoseconds left) : Until(std::chrono::steady_clock::now() + left) {
        struct sigaction interrupt {};
        interrupt.sa_handler = Interrupt;
        sigemptyset(&interrupt.sa_mask);
        HasAction = ::sigaction(SIGALRM, &interrupt, &OldAction) == 0;
        if (!HasAction)
            return;
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        HasMask = ::pthread_sigmask(SIG_UNBLOCK, &alarm, &OldMask) == 0;
        if (!HasMask)
            return;
        sigevent ev{};
        ev.sigev_notify = SIGEV_THREAD_ID;
        ev.sigev_signo = SIGALRM;
        ev._sigev_un._tid = ::gettid();
        HasTimer = ::timer_create(CLOCK_MONOTONIC, &ev, &Timer) == 0;
        if (!HasTimer)
            return;
        const auto s = std::chrono::duration_cast<std::chrono::seconds>(left);
        itimerspec at{};
        at.it_value.tv_sec = s.count();
        at.it_value.tv_nsec = static_cast<long>((left - s).count());
        if (at.it_value.tv_sec <= 0 && at.it_value.tv_nsec <= 0)
            at.it_value = {0, 1}; // zero would disarm it
        at.it_interval.tv_nsec = kRepeatNs;
        Armed = ::timer_settime(Timer, 0, &at, nullptr) == 0;
    }
    ~TWriteDeadline() {
        // A signal the timer sent is taken by the handler before this returns:
        // none is left pending for the old handling.
        if (HasTimer)
            ::timer_delete(Timer);
        if (HasAction)
            ::sigaction(SIGALRM, &OldAction, nullptr);
        if (HasMask)
            ::pthread_sigmask(SIG_SETMASK, &OldMask, nullptr);
    }
    TWriteDeadline(const TWriteDeadline &) = delete;
    TWriteDeadline &operator=(const TWriteDeadline &) = delete;

    bool Armed = false;
    bool Passed() const { return std::chrono::steady_clock::now() >= Until; }

private:
    static constexpr long kRepeatNs = 10'000'000;
    std::chrono::steady_clock::time_point Until;
    struct sigaction OldAction {};
    sigset_t OldMask{};
    timer_t Timer{};
    bool HasAction = false;
    bool HasMask = false;
    bool HasTimer = false;
};

} // namespace

TErrorStream::TErrorStream(std::chrono::milliseconds budget, int fd) : Budget(budget), Fd(fd) {}

bool TErrorStream::Write(std::string_view text) {
    if (text.empty())
        return true;
    if (Stuck())
        return false;
    const auto start = std::chrono::steady_clock::now();
    size_t done = 0;
    bool passed = false;
    {
        // Without a deadline nothing is written: a write could block for good.
        TWriteDeadline deadline(Budget - Spent);
        if (!deadline.Armed)
            return false;
        while (done < text.size()) {
            const ssize_t n = ::write(Fd, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                if (errno == EAGAIN) {
                    // Set non-blocking by another user of the stream: wait
                    // for room or for the deadline.
                    pollfd p{Fd, POLLOUT, 0};
                    ::poll(&p, 1, -1);
                }
                if (!(passed = deadline.Passed()))
                    continue;
            }
            break; // the deadline, or the stream's own error
        }
    }
    Spent += std::chrono::steady_clock::now() - start;
    if (passed)
        Spent = Budget;
    return done == text.size();
}

void NeverBlockOn(int fd) {
    struct stat was {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_NONBLOCK) || ::fstat(fd, &was) != 0 ||
        !(S_ISFIFO(was.st_mode) || ::isatty(fd)))
        return;
    // A terminal's own side (a pseudo-terminal master) opened again would be
    // a new terminal that nobody reads: left as it is.
    unsigned ptyNumber = 0;
    if (::ioctl(fd, TIOCGPTN, &ptyNumber) == 0)
        return;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    // A FIFO whose reader is gone refuses (ENXIO): its writes fail at once.
    const int own = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (flags & O_APPEND));
    if (own < 0)
        return;
    struct stat now {};
    if (::fstat(own, &now) == 0 && now.st_dev == was.st_dev && now.st_ino == was.st_ino)
        ::dup2(own, fd);
    ::close(own);
}

bool WriteWithoutWaiting(int fd, std::string_view text) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    const bool socket = S_ISSOCK(st.st_mode);
    // A stream that could block and cannot be opened again (a pseudo-terminal
    // master, anything without /proc) is non-blocking for this write only;
    // whoever shares it sees that only meanwhile. The flag belongs to the
    // stream, not the thread: one lock for the process, taken before the
    // flags are read, so that no thread writes after another one made the
    // stream blocking again.
    static std::mutex streamFlags;
    std::unique_lock<std::mutex> flagsHeld(streamFlags, std::defer_lock);
    if (!socket && !S_ISREG(st.st_mode))
        flagsHeld.lock();
    const int flags = socket ? 0 : ::fcntl(fd, F_GETFL);
    const bool shared = flagsHeld.owns_lock() && flags >= 0 && !(flags & O_NONBLOCK) &&
                        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            socket ? ::send(fd, text.data() + done, text.size() - done, MSG_DONTWAIT | MSG_NOSIGNAL)
                   : ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            break;
    }
    if (shared)
        ::fcntl(fd, F_SETFL, flags);
    return done == text.size();
}
