// Appends under the file's lock: of two writers only one writes the header,
// and one that fails takes back only what it added.
#include "platform/FileWrite.h"

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <latch>
#include <thread>

#include "platform/FileWriteWays.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/platform/FileWriteFixture.h"

namespace {

struct FileAppend : FileWrite {
    fs::path Log = Dir / "shared.log";
    // Another writer's append in a thread of its own, which tells when it
    // waits for the lock.
    struct TOther : TFileWait {
        std::thread Thread;
        std::atomic<bool> Done{false}, Waiting{false};
        std::optional<TFileWriteError> Err;
        void Start(const fs::path &log, std::string header, std::string bytes) {
            Thread = std::thread([this, log, header, bytes] {
                Err = WriteFileWith(log.string(), {bytes, TFileWriteMode::Append, header, *this});
                Done = true;
            });
        }
        // Until the append is done or waits for the lock.
        void UntilDoneOrWaiting() const {
            while (!Done && !Waiting)
                std::this_thread::yield();
        }
        ~TOther() override {
            if (Thread.joinable())
                Thread.join();
        }
        TFileWaitClock::time_point Now() override { return SystemFileWait().Now(); }
        int UntilWritable(int fd, std::chrono::milliseconds timeout) override {
            return SystemFileWait().UntilWritable(fd, timeout);
        }
        void Pause(std::chrono::milliseconds pause) override {
            Waiting = true;
            SystemFileWait().Pause(pause);
        }
    };
    static ino_t InoOf(int fd) {
        struct stat st {};
        return ::fstat(fd, &st) == 0 ? st.st_ino : 0;
    }
};

TEST_F(FileAppend, TwoWritersToANewLogWriteOneHeaderAtItsStart) {
    // The other writer comes between this one's look at the file and its
    // write: when the name is about to be given (a missing log), or at the
    // first byte (an empty one).
    for (const bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "a missing log" : "an empty log");
        fs::remove(Log);
        if (!missing)
            Write(Log, "");
        TOther other;
        bool came = false;
        auto comeIn = [&] {
            if (came)
                return;
            came = true;
            if (missing) {
                // Done before this one's own name is given.
                EXPECT_FALSE(AppendWholeFile(Log.string(), "H\n", "B\n"));
            } else {
                other.Start(Log, "H\n", "B\n");
                other.UntilDoneOrWaiting();
            }
        };
        SysCallWatch().PutInPlace = [&](const std::string &, const std::string &to) {
            if (to == Log.string())
                comeIn();
            return 0;
        };
        SysCallWatch().Write = [&](int fd) {
            if (!missing && InoOf(fd) == StatOf(Log).st_ino)
                comeIn();
            return 0;
        };
        EXPECT_FALSE(AppendWholeFile(Log.string(), "H\n", "A\n"));
        if (other.Thread.joinable())
            other.Thread.join();
        SysCallWatch().PutInPlace = nullptr;
        SysCallWatch().Write = nullptr;
        EXPECT_TRUE(came);
        EXPECT_FALSE(other.Err);
        EXPECT_EQ(Read(Log), missing ? "H\nB\nA\n" : "H\nA\nB\n");
    }

    // And as it falls, from two threads at once.
    SysCallWatch().Reset();
    int wrong = 0;
    for (int round = 0; round < 100; ++round) {
        fs::remove(Log);
        std::latch start(2);
        std::optional<TFileWriteError> errs[2];
        auto writer = [&](int who) {
            start.arrive_and_wait();
            errs[who] = AppendWholeFile(Log.string(), "H\n", who ? "B\n" : "A\n");
        };
        std::thread a(writer, 0), b(writer, 1);
        a.join();
        b.join();
        EXPECT_FALSE(errs[0]);
        EXPECT_FALSE(errs[1]);
        const std::string text = Read(Log);
        if (text != "H\nA\nB\n" && text != "H\nB\nA\n")
            ++wrong;
    }
    EXPECT_EQ(wrong, 0) << "rounds without exactly one header at the start and both lines";
    EXPECT_EQ(Names(), std::vector<std::string>{"shared.log"});
}

TEST_F(FileAppend, AFailedAppendTakesBackOnlyWhatItAddedAndNeverGrowsTheFile) {
    enum class TMeanwhile { Nothing, OtherAppends, CutShort };
    struct Case {
        const char *what;
        TMeanwhile meanwhile;
        bool diskFills; // else the sync fails
        const char *after;
        TFileWriteNote note;
    };
    const Case cases[] = {
        {"the sync fails", TMeanwhile::Nothing, false, "old\n", TFileWriteNote::None},
        {"the disk fills", TMeanwhile::Nothing, true, "old\n", TFileWriteNote::None},
        {"the sync fails after another writer came", TMeanwhile::OtherAppends, false, "old\nA\n",
         TFileWriteNote::None},
        // Rotated meanwhile: what this append wrote is gone with the rest,
        // and the file is not made longer again.
        {"the sync fails after the file was cut short", TMeanwhile::CutShort, false, "",
         TFileWriteNote::NotPutBack},
    };
    const std::string mine(3000, 'b');
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(Log);
        Write(Log, "old\n");
        const ino_t ino = StatOf(Log).st_ino;
        TOther other;
        bool failed = false;
        SysCallWatch().Fsync = [&](int fd) {
            if (c.diskFills || failed || InoOf(fd) != ino)
                return 0;
            failed = true;
            if (c.meanwhile == TMeanwhile::OtherAppends) {
                other.Start(Log, "H\n", "A\n");
                other.UntilDoneOrWaiting();
            } else if (c.meanwhile == TMeanwhile::CutShort) {
                EXPECT_EQ(::truncate(Log.c_str(), 0), 0);
            }
            return EIO;
        };
        std::optional<TFileWriteError> err;
        {
            TFileSizeLimit full(c.diskFills ? 1024 : RLIM_INFINITY);
            err = AppendWholeFile(Log.string(), "H\n", mine);
        }
        SysCallWatch().Fsync = nullptr;
        if (other.Thread.joinable())
            other.Thread.join();
        EXPECT_FALSE(other.Err);
        ASSERT_TRUE(err);
        EXPECT_EQ(err->Step, TFileWriteStep::Write);
        EXPECT_EQ(err->Errno, c.diskFills ? EFBIG : EIO);
        EXPECT_EQ(err->Note, c.note);
        const std::string text = Read(Log);
        EXPECT_TRUE(text == c.after) << "the file holds " << text.size() << " bytes, "
                                     << std::count(text.begin(), text.end(), '\0') << " of them NUL";
        EXPECT_EQ(Names(), std::vector<std::string>{"shared.log"});
    }
}

} // namespace
