// The built programs, started offscreen against simulated programmers, asked
// to end by a signal: each closes as its window's close does and ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "serial/UucpLock.h"
#include "tools/devsim/SimDevice.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto kLimit = 60s;

std::string FileText(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> CrLfLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
        lines.push_back(text.substr(from, at - from));
    return lines;
}

// Polls until the condition holds, at most kLimit.
bool Within(const std::function<bool()> &cond) {
    const auto until = std::chrono::steady_clock::now() + kLimit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

fs::path LockOf(const TSimDevice &d) {
    return fs::path(kUucpLockDir) / UucpLockName(d.PortPath());
}

// The logs in a folder: VLT_<date>_<time>.log.
std::vector<fs::path> LogFiles(const fs::path &dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("VLT_", 0) == 0 && e.path().extension() == ".log")
            out.push_back(e.path());
    }
    return out;
}

// One program copied into a folder of its own (the gang programmer keeps its
// "Log" beside itself) and run there against the devices' map.
class TProgramRun {
public:
    TProgramRun(const char *exe, const TSimGang &gang) {
        char tmpl[] = "/tmp/pelmor-progsig.XXXXXX";
        Dir = mkdtemp(tmpl);
        Exe = Dir / fs::path(exe).filename();
        std::error_code ec;
        fs::create_hard_link(exe, Exe, ec);
        if (ec)
            fs::copy_file(exe, Exe);
        gang.WriteDeviceMap((Dir / "devices.map").string());
    }
    ~TProgramRun() {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        if (PidFd >= 0)
            close(PidFd);
        fs::remove_all(Dir);
    }

    void Start() {
        const std::string map = (Dir / "devices.map").string();
        const std::string err = (Dir / "stderr.txt").string();
        std::fflush(nullptr);
        Pid = fork();
        ASSERT_GE(Pid, 0);
        if (Pid == 0) {
            const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDERR_FILENO);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            // As from a terminal: a test run in the background starts with
            // SIGINT ignored, which the program would keep.
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            for (int s : {SIGTERM, SIGHUP, SIGINT})
                signal(s, SIG_DFL);
            setenv("PELMOR_SERIAL_MAP", map.c_str(), 1);
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            setenv("LSAN_OPTIONS", "suppressions=" PELMOR_LSAN_SUPP, 1);
            chdir(Dir.c_str());
            execl(Exe.c_str(), Exe.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        PidFd = static_cast<int>(syscall(SYS_pidfd_open, Pid, 0));
        ASSERT_GE(PidFd, 0);
    }

    void Signal(int s) { ASSERT_EQ(kill(Pid, s), 0); }

    // The wait status once it ended; -1 when it did not within the limit.
    int Ended() {
        pollfd p{PidFd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kLimit).count())) != 1)
            return -1;
        int status = -1;
        waitpid(Pid, &status, 0);
        Pid = -1;
        return status;
    }

    std::string Stderr() const { return FileText(Dir / "stderr.txt"); }

    fs::path Dir;

private:
    fs::path Exe;
    pid_t Pid = -1;
    int PidFd = -1;
};

std::string Describe(int status) {
    if (status == -1)
        return "still running";
    if (WIFSIGNALED(status))
        return std::string("killed by ") + strsignal(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

// Waits for the program's end; a success only for a normal end with status 0.
::testing::AssertionResult EndedNormally(TProgramRun &run) {
    const int status = run.Ended();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Describe(status) << "\n" << run.Stderr();
}

// Every device probed and its port locked by the program.
void WaitConnectedAndLocked(TSimGang &gang, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const TSimDevice &d = gang.Device(i);
        ASSERT_TRUE(d.WaitFor([](const TSimDevice &x) { return x.Counters().Probes > 0; }, kLimit)) << i;
        ASSERT_TRUE(Within([&] { return fs::exists(LockOf(d)); })) << LockOf(d);
    }
}

// Stand-alone runs on every channel until the program has counted 2000
// results, which it marks by saving the panel beside itself: then every
// probe reply before them is in the panel too. That file is removed again.
void RunUntilTheResultLog(TSimGang &gang, const fs::path &dir) {
    // Runs that come before a channel is connected are not counted: half as
    // many again as needed, 25 per write, at most one write on its way.
    constexpr size_t kWritesPerDevice = 30;
    const std::vector<uint8_t> runs(25, 6);
    std::vector<size_t> writes(gang.Size());
    ASSERT_TRUE(Within([&] {
        if (!LogFiles(dir).empty())
            return true;
        for (size_t i = 0; i < gang.Size(); ++i)
            if (writes[i] < kWritesPerDevice && !gang.Device(i).Sending()) {
                gang.Device(i).SendStandAloneRuns(runs, 1);
                ++writes[i];
            }
        return false;
    })) << "no log after 2000 results";
    for (size_t i = 0; i < gang.Size(); ++i)
        ASSERT_TRUE(gang.Device(i).WaitFor([](const TSimDevice &x) { return !x.Sending(); }, kLimit));
    for (const auto &f : LogFiles(dir))
        fs::remove(f);
}

bool HasLine(const std::vector<std::string> &lines, const std::string &part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string &l) { return l.find(part) != std::string::npos; });
}

} // namespace

class GangProgramSignal : public ::testing::TestWithParam<int> {};

// The log at close holds the panel, every port is closed and its lock file
// gone, and the program ends normally.
TEST_P(GangProgramSignal, ClosesAsTheWindowDoes) {
    TSimGang gang(4);
    TProgramRun run(PELMOR_VLT_EXE, gang);
    run.Start();
    WaitConnectedAndLocked(gang, 4);
    RunUntilTheResultLog(gang, run.Dir);

    run.Signal(GetParam());
    ASSERT_TRUE(EndedNormally(run));

    const auto logs = LogFiles(run.Dir / "Log");
    ASSERT_EQ(logs.size(), 1u) << run.Stderr();
    const auto lines = CrLfLines(FileText(logs[0]));
    EXPECT_TRUE(HasLine(lines, "Hello Pelmor200VLT User!"));
    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(HasLine(lines, "Device " + std::to_string(n) + " : Find Device")) << n;
    EXPECT_TRUE(HasLine(lines, ">---- Total OK Number is : 2000, NG is 0 ----"));
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
        EXPECT_GE(gang.Device(i).Counters().HostCloses, 1u) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EndSignals, GangProgramSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param)); });

// The log at close cannot be written (its folder became a file): the box
// that says so has nobody to answer it; it is dismissed, its text goes to
// the error stream, and the refused close still ends the program, with
// status 1.
TEST(GangProgramSignals, ABoxOpenedByTheCloseDoesNotHoldTheProgram) {
    TSimGang gang(4);
    TProgramRun run(PELMOR_VLT_EXE, gang);
    run.Start();
    WaitConnectedAndLocked(gang, 4);
    RunUntilTheResultLog(gang, run.Dir);
    fs::remove_all(run.Dir / "Log");
    std::ofstream(run.Dir / "Log") << "not a folder\n";

    run.Signal(SIGTERM);
    const int status = run.Ended();
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << Describe(status) << "\n" << run.Stderr();
    EXPECT_NE(run.Stderr().find("Write Log File error!"), std::string::npos) << run.Stderr();
    for (size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
}

class UpgradeProgramSignal : public ::testing::TestWithParam<int> {};

// The upgrade tool closes its port, its lock file goes, and it ends normally.
TEST_P(UpgradeProgramSignal, ClosesItsPort) {
    TSimGang gang(1);
    TProgramRun run(PELMOR_FWUPGRADE_EXE, gang);
    run.Start();
    WaitConnectedAndLocked(gang, 1);

    run.Signal(GetParam());
    ASSERT_TRUE(EndedNormally(run));
    EXPECT_FALSE(fs::exists(LockOf(gang.Device(0))));
    EXPECT_GE(gang.Device(0).Counters().HostCloses, 1u);
}

INSTANTIATE_TEST_SUITE_P(EndSignals, UpgradeProgramSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param)); });
