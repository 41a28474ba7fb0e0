// A stream holds a write no longer than 5 s after it began, however slowly it
// takes the bytes, and another's lock holds it no longer than 5 s. The time is the
// test's: nothing waits.
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/FileWait.h"
#include "platform/FileWriteWays.h"
#include "tests/platform/FileWriteFixture.h"

namespace {

using namespace std::chrono_literals;
using std::chrono::milliseconds;

// A clock that moves only when the writer waits. `Reader` runs when the time
// it asked for (`Every` after its last turn) comes within a wait.
struct TTestWait : TFileWait {
    TFileWaitClock::time_point Time{};
    std::optional<milliseconds> Every; // none: the reader never comes
    std::function<void()> Reader;
    TFileWaitClock::time_point LastTurn{};
    int Waits = 0;

    TFileWaitClock::time_point Now() override { return Time; }
    int UntilWritable(int fd, milliseconds timeout) override {
        ++Waits;
        Pass(timeout);
        pollfd p{fd, POLLOUT, 0};
        return ::poll(&p, 1, 0);
    }
    void Pause(milliseconds pause) override {
        ++Waits;
        Pass(pause);
    }
    void Pass(milliseconds span) {
        if (Every && LastTurn + *Every <= Time + span) {
            Time = LastTurn + *Every;
            LastTurn = Time;
            Reader();
        } else {
            Time += span;
        }
    }
};

struct StreamWrite : FileWrite {
    fs::path Fifo = Dir / "fifo";
    StreamWrite() {
        EXPECT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
        OldPipe = ::signal(SIGPIPE, SIG_IGN);
    }
    ~StreamWrite() override { ::signal(SIGPIPE, OldPipe); }
    sighandler_t OldPipe{};
};

TEST_F(StreamWrite, AStreamWriteNotDone5sAfterItBeganFailsWhateverTheReaderTakes) {
    // Four times what a pipe holds.
    const std::string bytes(256 * 1024, 'b');
    struct Case {
        const char *what;
        std::optional<milliseconds> every;
        size_t perTurn;
        int turnsBeforeGone; // < 0: the reader stays
        int err;             // 0: all of it arrives
    };
    const Case cases[] = {
        {"a reader that takes it all within 5 s", 1000ms, 64 * 1024, -1, 0},
        {"a reader that keeps taking a little, too slowly", 1000ms, 4096, -1, ETIMEDOUT},
        {"a reader that pauses longer than 5 s", 5001ms, 64 * 1024, -1, ETIMEDOUT},
        {"a reader that never reads", std::nullopt, 0, -1, ETIMEDOUT},
        {"a reader that goes away", 1000ms, 4096, 3, EPIPE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TFdReader reader(::open(Fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        ASSERT_GE(reader.Get(), 0);
        int readerFd = reader.Get();
        std::string got;
        int turns = 0;
        TTestWait wait;
        wait.Every = c.every;
        wait.Reader = [&] {
            if (readerFd < 0)
                return;
            if (c.turnsBeforeGone >= 0 && turns++ == c.turnsBeforeGone) {
                // Closed here; the scope's close then finds nothing.
                ::close(std::exchange(readerFd, -1));
                return;
            }
            char buf[4096];
            for (size_t taken = 0; taken < c.perTurn;) {
                const ssize_t n = ::read(readerFd, buf, std::min(sizeof buf, c.perTurn - taken));
                if (n <= 0)
                    break;
                got.append(buf, static_cast<size_t>(n));
                taken += static_cast<size_t>(n);
            }
        };
        const auto err = WriteFileWith(Fifo.string(), {bytes, TFileWriteMode::Replace, {}, wait});
        if (readerFd < 0)
            (void)reader.Release();
        if (c.err == 0) {
            EXPECT_FALSE(err);
            EXPECT_EQ(got.size() + reader.ReadNow().size(), bytes.size());
            EXPECT_LT(wait.Time - TFileWaitClock::time_point{}, kStreamWriteLimit);
            continue;
        }
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, c.err);
        if (c.err == ETIMEDOUT) {
            // Exactly 5 s after the write began: not sooner, not later.
            EXPECT_EQ(wait.Time - TFileWaitClock::time_point{}, kStreamWriteLimit);
            EXPECT_LT(got.size(), bytes.size());
        }
    }
}

TEST_F(StreamWrite, AFifoThatNobodyHasOpenFailsAtOnce) {
    TTestWait wait;
    const auto err = WriteFileWith(Fifo.string(), {"bytes", TFileWriteMode::Append, "header", wait});
    ASSERT_TRUE(err);
    EXPECT_EQ(err->Step, TFileWriteStep::Create);
    EXPECT_EQ(err->Errno, ENXIO);
    EXPECT_EQ(wait.Waits, 0);
}

TEST_F(StreamWrite, TheSystemWaitTellsAFullPipeFromOneWithRoom) {
    TFdReader reader(::open(Fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    TFdReader writer(::open(Fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_GE(writer.Get(), 0);
    EXPECT_EQ(SystemFileWait().UntilWritable(writer.Get(), 0ms), 1);
    const std::string chunk(4096, 'x');
    while (::write(writer.Get(), chunk.data(), chunk.size()) > 0) {
    }
    EXPECT_EQ(SystemFileWait().UntilWritable(writer.Get(), 0ms), 0);
    // The bounds the public entry uses.
    static_assert(kNoProgressLimit == 5000ms && kStreamWriteLimit == 5000ms);
}

TEST_F(StreamWrite, APtyThatTakesNothingFails5sAfterTheWriteBegan) {
    // Its far side held open and never read. A pty may take bytes again
    // without waking poll, so that the wait ends with room: here the far
    // side drops its queue just as the time is up. 5 s without a byte taken
    // ends the write all the same.
    const std::string bytes(1 << 20, 'p');
    for (const bool roomAtTheEnd : {false, true}) {
        SCOPED_TRACE(roomAtTheEnd ? "room when the time is up" : "never any room again");
        TFdReader master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_GE(master.Get(), 0);
        ASSERT_EQ(::grantpt(master.Get()), 0);
        ASSERT_EQ(::unlockpt(master.Get()), 0);
        const std::string slave = ::ptsname(master.Get());
        TFdReader watch(::open(slave.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        ASSERT_GE(watch.Get(), 0);
        auto room = [&] {
            pollfd p{watch.Get(), POLLOUT, 0};
            return ::poll(&p, 1, 0) == 1;
        };
        TTestWait wait;
        bool dropped = false;
        if (roomAtTheEnd) {
            wait.Every = kNoProgressLimit;
            wait.Reader = [&] {
                if (std::exchange(dropped, true))
                    return;
                EXPECT_EQ(::tcflush(master.Get(), TCIFLUSH), 0);
                // The kernel moves the queue on in its own time.
                const auto giveUp = std::chrono::steady_clock::now() + 2s;
                while (!room() && std::chrono::steady_clock::now() < giveUp)
                    std::this_thread::yield();
                EXPECT_TRUE(room());
            };
        }
        const auto err = WriteFileWith(slave, {bytes, TFileWriteMode::Replace, {}, wait});
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, ETIMEDOUT);
        EXPECT_EQ(dropped, roomAtTheEnd);
        // 5 s since the write began, and the room at the end is left.
        EXPECT_EQ(wait.Time - TFileWaitClock::time_point{}, kStreamWriteLimit);
        EXPECT_EQ(room(), roomAtTheEnd);
    }
}

// Another process holds the file's lock, as anyone who may open the file
// can: a child that only reads it (as nobody, where the test runs as root).
class TLockHolder {
public:
    explicit TLockHolder(const fs::path &file) {
        int toChild[2], toParent[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0)
            return;
        if (::pipe2(toParent, O_CLOEXEC) != 0) {
            ::close(toChild[0]);
            ::close(toChild[1]);
            return;
        }
        Pid = ::fork();
        if (Pid == 0) {
            ::close(toChild[1]);
            ::close(toParent[0]);
            const bool dropped =
                ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(FileWrite::kNobody) == 0 &&
                                     ::setuid(FileWrite::kNobody) == 0);
            const int fd = dropped ? ::open(file.c_str(), O_RDONLY | O_CLOEXEC) : -1;
            const bool readOnly = ::geteuid() != FileWrite::kNobody || ::access(file.c_str(), W_OK) != 0;
            char c = fd >= 0 && readOnly && ::flock(fd, LOCK_EX) == 0 ? 'L' : 'F';
            (void)!::write(toParent[1], &c, 1);
            if (::read(toChild[0], &c, 1) == 1) {
                c = ::flock(fd, LOCK_UN) == 0 ? 'U' : 'F';
                (void)!::write(toParent[1], &c, 1);
                (void)!::read(toChild[0], &c, 1);
            }
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(toParent[1]);
        Tell = toChild[1];
        Hear = toParent[0];
        Locked = Answer() == 'L';
    }
    ~TLockHolder() {
        if (Tell >= 0)
            ::close(Tell);
        if (Hear >= 0)
            ::close(Hear);
        if (Pid > 0)
            ::waitpid(Pid, nullptr, 0);
    }
    TLockHolder(const TLockHolder &) = delete;
    TLockHolder &operator=(const TLockHolder &) = delete;

    bool Locked = false;
    // Lets go of the lock; true once it did.
    bool Release() {
        const char c = 'R';
        return ::write(Tell, &c, 1) == 1 && Answer() == 'U';
    }

private:
    char Answer() const {
        char c = 0;
        return ::read(Hear, &c, 1) == 1 ? c : 0;
    }
    pid_t Pid = -1;
    int Tell = -1, Hear = -1;
};

TEST_F(FileWrite, AWriteWaitsForAnotherLockNoLongerThan5sThenGoesOnWithoutIt) {
    const auto log = Dir / "f.log";
    struct Case {
        const char *what;
        std::string old;
        TFileWriteMode mode;
        std::string header;
        bool secondName; // written in place
        std::string after;
    };
    const Case cases[] = {
        {"appended", "old\n", TFileWriteMode::Append, "", false, "old\nnew\n"},
        {"appended with a header to an empty file", "", TFileWriteMode::Append, "H\n", false, "H\nnew\n"},
        {"written in place", "old\n", TFileWriteMode::Replace, "", true, "new\n"},
    };
    for (const auto &c : cases)
        for (const bool released : {false, true}) {
            SCOPED_TRACE(std::string(c.what) +
                         (released ? ", the other lets go after 4 s" : ", the other keeps the lock"));
            EmptyDir();
            Write(log, c.old);
            ASSERT_EQ(::chmod(log.c_str(), 0644), 0);
            if (c.secondName)
                fs::create_hard_link(log, Dir / "second.log");
            const ino_t ino = StatOf(log).st_ino;
            TLockHolder other(log);
            ASSERT_TRUE(other.Locked);
            TTestWait wait;
            if (released) {
                wait.Every = 4000ms;
                wait.Reader = [&] { EXPECT_TRUE(other.Release()); };
            }
            const auto err = WriteFileWith(log.string(), {"new\n", c.mode, c.header, wait});
            EXPECT_FALSE(err) << (err ? std::strerror(err->Errno) : "");
            EXPECT_EQ(wait.Time - TFileWaitClock::time_point{}, released ? 4000ms : kNoProgressLimit);
            EXPECT_EQ(Read(log), c.after);
            EXPECT_EQ(StatOf(log).st_ino, ino);
            if (c.secondName) {
                EXPECT_EQ(Read(Dir / "second.log"), c.after);
            }
        }
}

} // namespace
