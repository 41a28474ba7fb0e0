// A stream that takes nothing, and another writer's lock, hold a write no
// longer than 5 s without progress. The time is the test's: nothing waits.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>

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

TEST_F(StreamWrite, AStreamThatTakesNothingFor5sFailsAndOneThatKeepsTakingSucceeds) {
    // Four times what a pipe holds, taken 4 KiB a turn.
    const std::string bytes(256 * 1024, 'b');
    struct Case {
        const char *what;
        std::optional<milliseconds> every;
        int turnsBeforeGone; // < 0: the reader stays
        int err;             // 0: all of it arrives
    };
    const Case cases[] = {
        {"a slow reader that keeps reading", 4999ms, -1, 0},
        {"a reader that pauses longer than 5 s", 5001ms, -1, ETIMEDOUT},
        {"a reader that never reads", std::nullopt, -1, ETIMEDOUT},
        {"a reader that goes away", 1000ms, 3, EPIPE},
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
            const ssize_t n = ::read(readerFd, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<size_t>(n));
        };
        const auto err = WriteFileWith(Fifo.string(), {bytes, TFileWriteMode::Replace, {}, wait});
        if (readerFd < 0)
            (void)reader.Release();
        if (c.err == 0) {
            EXPECT_FALSE(err);
            EXPECT_EQ(got.size() + reader.ReadNow().size(), bytes.size());
            continue;
        }
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, c.err);
        if (c.err == ETIMEDOUT) {
            // Exactly 5 s after the last byte taken: not sooner.
            EXPECT_EQ(wait.Time - wait.LastTurn, kNoProgressLimit);
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
    // The bound the public entry uses.
    static_assert(kNoProgressLimit == 5000ms);
}

TEST_F(FileWrite, AnAppendWaitsForAnotherWritersLockNoLongerThan5s) {
    const auto log = Dir / "f.log";
    for (const bool released : {false, true}) {
        SCOPED_TRACE(released ? "the other writer lets go after 4 s" : "the other writer keeps the lock");
        Write(log, "old\n");
        // Another process holding the lock, as another user who may read the
        // file can: its own open of the file.
        TFdReader other(::open(log.c_str(), O_RDONLY | O_CLOEXEC));
        ASSERT_EQ(::flock(other.Get(), LOCK_EX), 0);
        TTestWait wait;
        if (released) {
            wait.Every = 4000ms;
            wait.Reader = [&] { ::flock(other.Get(), LOCK_UN); };
        }
        const auto err = WriteFileWith(log.string(), {"new\n", TFileWriteMode::Append, {}, wait});
        if (released) {
            EXPECT_FALSE(err);
            EXPECT_EQ(Read(log), "old\nnew\n");
            continue;
        }
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, ETIMEDOUT);
        EXPECT_EQ(wait.Time - TFileWaitClock::time_point{}, kNoProgressLimit);
        EXPECT_EQ(Read(log), "old\n");
    }
}

} // namespace
