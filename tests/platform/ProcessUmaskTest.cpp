// The umask a new file's mode comes from is read once at start, by setting
// it back at once; without that and without /proc the writer keeps new files
// private rather than starting another process to ask.
#include "platform/ProcessUmask.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/FileWrite.h"
#include "tests/platform/FileWriteFixture.h"

namespace {

// Runs `step` in a child process, which has not asked for the umask yet.
int InChild(const std::function<int()> &step) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(step());
    int status = -1;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileWrite, TheUmaskIsTheOneReadAtStart) {
    const auto file = Dir / "new.log";
    // A process of its own, started afresh: the umask is read once.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::umask(027);
            ReadUmaskAtStart();
            // A later change (there is none in the programs) is not seen.
            ::umask(0);
            ReadUmaskAtStart();
            int code = 0;
            if (ProcessUmask() != 027 || WriteWholeFile(file.string(), "x", TFileWriteMode::Replace))
                code = 1;
            else if (ModeOf(file) != 0640)
                code = 2;
            // The exit skips the fixture's end: its folder goes here.
            std::error_code ec;
            fs::remove_all(Dir, ec);
            std::exit(code);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(FileWrite, WithoutTheUmaskReadAtStartItComesFromProcOrKeepsNewFilesPrivate) {
    const auto file = Dir / "new.log";
    struct Case {
        const char *what;
        bool proc;
        mode_t expected;
    };
    const Case cases[] = {
        {"with /proc", true, 0640},
        {"without /proc", false, 0600},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(file);
        const int got = InChild([&] {
            // /proc hidden under an empty folder in a mount space of the child's own.
            if (!c.proc && (::unshare(CLONE_NEWNS) != 0 ||
                            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                            ::mount("tmpfs", "/proc", "tmpfs", 0, nullptr) != 0))
                return 3;
            ::umask(027);
            if (WriteWholeFile(file.string(), "x", TFileWriteMode::Replace))
                return 1;
            return static_cast<int>(ModeOf(file) == c.expected ? 0 : 2);
        });
        if (got == 3 && ::geteuid() != 0)
            GTEST_SKIP() << "only root can hide /proc";
        EXPECT_EQ(got, 0);
    }
}

} // namespace
