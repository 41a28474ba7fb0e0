// The programs' signal setup, each case in a child process of its own that
// makes the setup as main does.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/ProcessSignals.h"
#include "state/LineFile.h"
#include "tests/signals/ChildProcess.h"

namespace fs = std::filesystem;

namespace {

struct TTempDir {
    fs::path Path;
    TTempDir() {
        char tmpl[] = "/tmp/pelmor-signals.XXXXXX";
        Path = mkdtemp(tmpl);
    }
    ~TTempDir() { fs::remove_all(Path); }
};

std::vector<std::string> ManyLines(size_t count) {
    return std::vector<std::string>(count, std::string(100, 'x'));
}

// Saves and expects exactly this error; 0 when it came.
int SaveExpecting(const std::string &path, const std::vector<std::string> &lines, const std::string &want) {
    try {
        SaveLinesToFile(path, lines);
    } catch (const EInOutError &e) {
        if (e.what() == want)
            return 0;
        std::fprintf(stderr, "error text: %s\n", e.what());
        return 3;
    }
    std::fprintf(stderr, "the save did not fail\n");
    return 2;
}

std::string FileText(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

// A reader that takes the first bytes and quits: the rest of the save gets
// EPIPE, shown as a write error, and the program goes on.
TEST(ProcessSignals, SaveToAFifoWhoseReaderQuitFailsWithItsError) {
    TTempDir dir;
    const std::string fifo = (dir.Path / "panel.fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int status = InChild([&] {
        IgnoreWriteSignals();
        const int rd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (rd < 0)
            return 10;
        const pid_t reader = fork();
        if (reader == 0) {
            pollfd p{rd, POLLIN, 0};
            char buf[16];
            if (poll(&p, 1, 20000) == 1)
                (void)!read(rd, buf, sizeof buf);
            _exit(0);
        }
        close(rd); // the reader above holds the only read end
        const int got =
            SaveExpecting(fifo, ManyLines(20000), "Write error on \"" + fifo + "\". " + std::strerror(EPIPE));
        waitpid(reader, nullptr, 0);
        return got;
    });
    EXPECT_TRUE(ExitedZero(status));
}

// Past the file size limit the save fails with EFBIG and leaves the folder
// as it was: the old file whole, no temporary file.
TEST(ProcessSignals, SavePastTheFileSizeLimitFailsAndLeavesNothingBehind) {
    TTempDir dir;
    const fs::path file = dir.Path / "panel.log";
    std::ofstream(file, std::ios::binary) << "old\r\n";
    const int status = InChild([&] {
        IgnoreWriteSignals();
        const rlimit limit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        return SaveExpecting(file.string(), ManyLines(1000),
                             "Write error on \"" + file.string() + "\". " + std::strerror(EFBIG));
    });
    EXPECT_TRUE(ExitedZero(status));
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir.Path))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"panel.log"});
    EXPECT_EQ(FileText(file), "old\r\n");
}

// Started in the background of a terminal that stops background writers
// (`stty tostop`), as a shell job: a message to the terminal goes out and
// the program runs on instead of stopping until it is brought to the front.
TEST(ProcessSignals, AWriteToTheTerminalFromTheBackgroundDoesNotStopTheProgram) {
    for (const bool setUp : {false, true}) {
        SCOPED_TRACE(setUp ? "with the setup" : "without it, the job stops");
        const int status = InChild([setUp] {
            int master = -1, slave = -1;
            if (setsid() < 0 || openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 ||
                ioctl(slave, TIOCSCTTY, 0) != 0)
                return 10;
            termios t{};
            if (tcgetattr(slave, &t) != 0)
                return 11;
            t.c_lflag |= TOSTOP;
            if (tcsetattr(slave, TCSANOW, &t) != 0)
                return 12;
            const pid_t job = fork();
            if (job == 0) {
                setpgid(0, 0); // a job of its own, not the terminal's front one
                if (setUp)
                    IgnoreWriteSignals();
                _exit(write(slave, "msg\n", 4) == 4 ? 0 : 1);
            }
            setpgid(job, job);
            int st = 0;
            if (waitpid(job, &st, WUNTRACED) != job)
                return 13;
            const bool stopped = WIFSTOPPED(st);
            if (stopped) {
                kill(job, SIGKILL);
                waitpid(job, nullptr, 0);
            }
            char buf[16];
            const bool arrived = !stopped && read(master, buf, sizeof buf) > 0;
            return setUp ? (arrived && WIFEXITED(st) && WEXITSTATUS(st) == 0 ? 0 : 1) : (stopped ? 0 : 2);
        });
        EXPECT_TRUE(ExitedZero(status));
    }
}

// The three signals that end the program wait, blocked in every thread
// started later, to be read from the descriptor; one the program was
// started to ignore stays ignored and is never read.
TEST(ProcessSignals, EndSignalsAreReadFromTheDescriptorAndAnIgnoredOneStaysIgnored) {
    struct TCase {
        int Ignored; // 0: none
        std::vector<int> Sent, Read;
    };
    const TCase cases[] = {
        {0, {SIGTERM}, {SIGTERM}},
        {0, {SIGHUP, SIGINT}, {SIGHUP, SIGINT}},
        {SIGHUP, {SIGHUP, SIGTERM}, {SIGTERM}},
        {SIGINT, {SIGINT}, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Ignored);
        const int status = InChild([&] {
            if (c.Ignored)
                signal(c.Ignored, SIG_IGN);
            TEndSignals ends;
            if (ends.Fd() < 0)
                return 10;
            // A thread started after the setup must not take them either.
            sigset_t inThread;
            sigemptyset(&inThread);
            std::thread([&] { pthread_sigmask(SIG_BLOCK, nullptr, &inThread); }).join();
            for (int s : {SIGTERM, SIGHUP, SIGINT})
                if (s != c.Ignored && !sigismember(&inThread, s))
                    return 11;
            for (int s : c.Sent)
                kill(getpid(), s);
            std::vector<int> read;
            while (const auto s = ends.Next())
                read.push_back(*s);
            if (read != c.Read) {
                for (int s : read)
                    std::fprintf(stderr, "read %s\n", strsignal(s));
                return 12;
            }
            return 0;
        });
        EXPECT_TRUE(ExitedZero(status));
    }
}

// Made while a second thread runs (the toolkit's, on a real display), the
// setup could not keep the signals from that thread: it refuses, on stderr,
// and ends the program before anything runs on that order.
TEST(ProcessSignals, MadeWhileAnotherThreadRunsItRefusesLoudly) {
    TTempDir dir;
    const fs::path err = dir.Path / "stderr.txt";
    const int status = InChild([&] {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        int gate[2];
        if (pipe(gate) != 0)
            return 10;
        std::thread waiting([&] {
            char c;
            (void)!read(gate[0], &c, 1);
        });
        {
            TEndSignals ends;
            std::fprintf(stderr, "made, descriptor %d\n", ends.Fd());
        }
        close(gate[1]);
        waiting.join();
        return 0;
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT) << DescribeStatus(status);
    const std::string text = FileText(err);
    EXPECT_NE(
        text.find("TEndSignals: made with 2 threads running; the end signals must be blocked before any "
                  "thread starts"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find("made, descriptor"), std::string::npos) << text;
}

// Without /proc the threads cannot be counted: the setup is made all the same
// (main makes it before any thread anyway) rather than refusing to start.
TEST(ProcessSignals, WithoutProcTheSetupIsMade) {
    const int status = InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            return 10;
        if (access("/proc/self/task", F_OK) == 0)
            return 11;
        TEndSignals ends;
        if (ends.Fd() < 0)
            return 12;
        kill(getpid(), SIGTERM);
        const auto s = ends.Next();
        return s && *s == SIGTERM ? 0 : 13;
    });
    EXPECT_TRUE(ExitedZero(status));
}
