// Texts for the error stream against a pipe that takes them, one whose reader
// does not read, one whose reader is gone; each case in a child process, so
// that a write that blocks for good ends the case instead of the run.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/ErrorStream.h"
#include "tests/signals/ChildProcess.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kBudget = 200ms;
// Far more than the budget: a case that reaches it waited without bound.
constexpr int kHangMs = 20000;

// Fills the pipe through a non-blocking description of its own, so that the
// stream's own description stays blocking. The bytes it took.
size_t Fill(int writeEnd) {
    const std::string path = "/proc/self/fd/" + std::to_string(writeEnd);
    const int own = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (own < 0)
        return 0;
    const std::string block(4096, '#');
    size_t taken = 0;
    for (;;) {
        const ssize_t n = write(own, block.data(), block.size());
        if (n <= 0)
            break;
        taken += static_cast<size_t>(n);
    }
    // Single bytes into the last page's gap.
    while (write(own, "#", 1) == 1)
        ++taken;
    close(own);
    return taken;
}

std::string ReadAll(int readEnd) {
    fcntl(readEnd, F_SETFL, O_NONBLOCK);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(readEnd, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    return out;
}

template <class F> std::chrono::milliseconds Timed(F &&f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}

} // namespace

// A stream that takes the text gets it whole.
TEST(ErrorStream, AStreamThatReadsGetsTheTextWhole) {
    const int status = InChild(
        [] {
            int p[2];
            if (pipe(p) != 0)
                return 10;
            TErrorStream err(kBudget, p[1]);
            if (!err.Write("Pelmor200VLT: Terminated: closing\n") || !err.Write("second\n") || err.Stuck())
                return 11;
            return ReadAll(p[0]) == "Pelmor200VLT: Terminated: closing\nsecond\n" ? 0 : 12;
        },
        kHangMs);
    EXPECT_TRUE(ExitedZero(status));
}

// A reader that does not read: the write ends once the budget is spent, with
// what fitted written as the text's beginning; later texts are dropped at
// once; the program's SIGALRM handling and mask are as they were.
TEST(ErrorStream, AFullPipeNobodyReadsHoldsTheWriterOnlyForTheBudget) {
    struct TCase {
        const char *Name;
        size_t Room; // bytes read off the full pipe before the write
    };
    const TCase cases[] = {{"full", 0}, {"room for a part", 4096}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const int status = InChild(
            [&] {
                signal(SIGALRM, SIG_IGN);
                sigset_t alarm, mask;
                sigemptyset(&alarm);
                sigaddset(&alarm, SIGALRM);
                sigprocmask(SIG_BLOCK, &alarm, nullptr);
                int p[2];
                if (pipe(p) != 0)
                    return 10;
                const size_t filled = Fill(p[1]);
                std::string drained(c.Room, '\0');
                if (filled == 0 || read(p[0], drained.data(), c.Room) != static_cast<ssize_t>(c.Room))
                    return 11;
                const std::string text(100000, 'p');
                TErrorStream err(kBudget, p[1]);
                bool whole = true;
                const auto first = Timed([&] { whole = err.Write(text); });
                if (whole || !err.Stuck() || first < kBudget - 10ms)
                    return 12;
                const auto later = Timed([&] { whole = err.Write("later\n"); });
                if (whole || later >= kBudget / 4)
                    return 13;
                const std::string got = ReadAll(p[0]);
                // What the pipe held, then only the text's first bytes.
                if (got.size() != filled || got.substr(filled - c.Room) != text.substr(0, c.Room))
                    return 14;
                struct sigaction now {};
                sigaction(SIGALRM, nullptr, &now);
                sigprocmask(SIG_BLOCK, nullptr, &mask);
                return now.sa_handler == SIG_IGN && sigismember(&mask, SIGALRM) ? 0 : 15;
            },
            kHangMs);
        EXPECT_TRUE(ExitedZero(status)) << c.Name;
    }
}

// A stream another user of it made non-blocking is waited on the same way,
// not spun on for good; one whose reader is gone fails at once.
TEST(ErrorStream, ANonBlockingOrReaderlessStreamDoesNotHoldTheWriter) {
    const int status = InChild(
        [] {
            signal(SIGPIPE, SIG_IGN);
            int p[2];
            if (pipe(p) != 0 || Fill(p[1]) == 0)
                return 10;
            fcntl(p[1], F_SETFL, O_NONBLOCK);
            TErrorStream err(kBudget, p[1]);
            bool whole = true;
            const auto waited = Timed([&] { whole = err.Write("text\n"); });
            if (whole || !err.Stuck() || waited < kBudget - 10ms)
                return 11;
            int q[2];
            if (pipe(q) != 0)
                return 12;
            close(q[0]);
            TErrorStream gone(kBudget, q[1]);
            const auto failed = Timed([&] { whole = gone.Write("text\n"); });
            return !whole && failed < kBudget / 4 ? 0 : 13;
        },
        kHangMs);
    EXPECT_TRUE(ExitedZero(status));
}

// Once told never to block, a pipe or terminal as the stream gets a
// description of its own that does not: a full pipe refuses at once instead
// of waiting, while whoever shares the old description (the parent, a
// launcher) keeps it blocking. A regular file, which never blocks, is left
// as it is, and so is a terminal's own side (opened again, it would be a new
// terminal that nobody reads).
TEST(ErrorStream, NeverBlockGivesTheStreamANonBlockingDescriptionOfItsOwn) {
    enum TKind { Pipe, Terminal, TerminalMaster, File };
    for (const TKind kind : {Pipe, Terminal, TerminalMaster, File}) {
        SCOPED_TRACE(kind);
        const int status = InChild(
            [&] {
                int fd = -1, keep = -1;
                if (kind == Pipe) {
                    int p[2];
                    if (pipe(p) != 0 || Fill(p[1]) == 0)
                        return 10;
                    fd = p[1];
                    keep = p[0];
                } else if (kind == Terminal) {
                    keep = posix_openpt(O_RDWR | O_NOCTTY);
                    if (keep < 0 || grantpt(keep) != 0 || unlockpt(keep) != 0)
                        return 10;
                    fd = open(ptsname(keep), O_WRONLY | O_NOCTTY);
                } else if (kind == TerminalMaster) {
                    fd = posix_openpt(O_RDWR | O_NOCTTY);
                    if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0)
                        return 10;
                    keep = open(ptsname(fd), O_RDONLY | O_NOCTTY | O_NONBLOCK);
                } else {
                    char name[] = "/tmp/pelmor-errstream.XXXXXX";
                    fd = mkstemp(name);
                    unlink(name);
                }
                if (fd < 0)
                    return 11;
                struct stat before {};
                fstat(fd, &before);
                const int other = dup(fd); // the old description, as another user holds it
                NeverBlockOn(fd);
                struct stat after {};
                fstat(fd, &after);
                const bool nonBlocking = fcntl(fd, F_GETFL) & O_NONBLOCK;
                if (after.st_dev != before.st_dev || after.st_ino != before.st_ino)
                    return 12;
                if (fcntl(other, F_GETFL) & O_NONBLOCK)
                    return 13;
                if (nonBlocking != (kind == Pipe || kind == Terminal))
                    return 14;
                if (kind == TerminalMaster) {
                    // Still the terminal whose other side is read.
                    char got[8] = {};
                    pollfd in{keep, POLLIN, 0};
                    if (write(fd, "x\n", 2) != 2 || poll(&in, 1, 5000) != 1 ||
                        read(keep, got, sizeof got) < 1 || got[0] != 'x')
                        return 16;
                }
                if (kind == Pipe && (write(fd, "x", 1) != -1 || errno != EAGAIN))
                    return 15;
                close(keep);
                return 0;
            },
            kHangMs);
        EXPECT_TRUE(ExitedZero(status));
    }
}

namespace {

// A blocking pipe nobody reads, filled with messages until one does not go:
// none of them is cut while the pipe still takes the whole of it at once.
TEST(WriteWithoutWaitingOnABlockingPipe, NoMessageIsCutWhereThePipeHadRoomForIt) {
    for (const size_t length : {600u, 1000u, 3000u}) {
        SCOPED_TRACE(length);
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        const std::string message(length, 'x');
        int whole = 0;
        while (WriteWithoutWaiting(ends[1], message) && whole < 1000)
            ++whole;
        int queued = 0;
        ASSERT_EQ(::ioctl(ends[0], FIONREAD, &queued), 0);
        ::fcntl(ends[1], F_SETFL, ::fcntl(ends[1], F_GETFL) | O_NONBLOCK);
        const ssize_t more = ::write(ends[1], message.data(), message.size());
        EXPECT_TRUE(static_cast<size_t>(queued) % length == 0 || more != static_cast<ssize_t>(length))
            << whole << " whole, " << queued % length << " bytes of the next one, yet the pipe took it whole";
        ::close(ends[0]);
        ::close(ends[1]);
    }
}

// The master side of a pseudo-terminal whose slave nobody reads (a line
// discipline still waiting for the end of its line): poll says there is
// room, and the one byte written must not hold the caller.
TEST(WriteWithoutWaitingOnAPseudoTerminalMaster, TextWithoutALineEndNeverBlocks) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(5); // a write that blocks ends the child here
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            ::_exit(2);
        const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
        if (slave < 0)
            ::_exit(2);
        const std::string message(100, 'x');
        for (int i = 0; i < 100000 && WriteWithoutWaiting(master, message); ++i) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "held until the alarm ended it" : "no pseudo-terminal");
}

} // namespace

namespace {

// Two threads that warn at once on the same full, blocking pipe: the one that
// writes after the other put the blocking flag back must not wait for room.
TEST(WriteWithoutWaitingOnABlockingPipe, TwoThreadsWritingAtOnceNeverBlock) {
    const int status = InChild(
        [] {
            int ends[2];
            if (::pipe(ends) != 0)
                return 2;
            Fill(ends[1]);
            std::atomic<bool> go{false};
            auto hammer = [&] {
                while (!go.load()) {
                }
                for (int i = 0; i < 200000; ++i)
                    WriteWithoutWaiting(ends[1], "x");
            };
            std::thread a(hammer), b(hammer);
            go = true;
            a.join();
            b.join();
            return (::fcntl(ends[1], F_GETFL) & O_NONBLOCK) == 0 ? 0 : 3;
        },
        kHangMs);
    EXPECT_TRUE(ExitedZero(status)) << "a write waited for room on the full pipe";
}

} // namespace
