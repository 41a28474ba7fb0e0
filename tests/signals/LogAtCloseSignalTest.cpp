// The built gang programmer, whose log at close cannot be written in its
// "Log" folder, asked to end by a signal: the close is refused, so the panel
// goes to the error stream and the program ends with status 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <regex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "serial/UucpLock.h"
#include "tests/signals/ChildEnvironment.h"
#include "tools/devsim/SimDevice.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto kLimit = 60s;

std::string FileText(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<std::string> SplitLines(const std::string &text, const std::string &end) {
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t at; (at = text.find(end, from)) != std::string::npos; from = at + end.size())
        lines.push_back(text.substr(from, at - from));
    return lines;
}

// Polls the other process until the condition holds, at most kLimit.
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

std::vector<fs::path> LogFiles(const fs::path &dir) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().rfind("VLT_", 0) == 0 && e.path().extension() == ".log")
            out.push_back(e.path());
    return out;
}

// The program linked (or copied) into a folder of its own, which is its
// program folder, and started from another folder whose "Log" it may write:
// a log that lands there was taken relative to the wrong folder.
class TVltRun {
public:
    explicit TVltRun(const TSimGang &gang) {
        char tmpl[] = "/tmp/pelmor-logclose.XXXXXX";
        Dir = mkdtemp(tmpl);
        Exe = Dir / "Pelmor200VLT";
        std::error_code ec;
        fs::create_hard_link(PELMOR_VLT_EXE, Exe, ec);
        if (ec)
            fs::copy_file(PELMOR_VLT_EXE, Exe);
        gang.WriteDeviceMap((Dir / "devices.map").string());
        fs::create_directories(StartedIn() / "Log");
    }
    ~TVltRun() {
        if (Pid > 0) {
            kill(Pid, SIGKILL);
            waitpid(Pid, nullptr, 0);
        }
        if (PidFd >= 0)
            close(PidFd);
        fs::remove_all(Dir);
    }

    fs::path StartedIn() const { return Dir / "started-here"; }

    void Start() {
        const std::string map = (Dir / "devices.map").string();
        const std::string err = (Dir / "stderr.txt").string();
        const std::string cwd = StartedIn().string();
        const TChildEnvironment env({
            {"PELMOR_SERIAL_MAP", map},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"LSAN_OPTIONS", "suppressions=" PELMOR_LSAN_SUPP},
        });
        std::fflush(nullptr);
        Pid = fork();
        ASSERT_GE(Pid, 0);
        if (Pid == 0) {
            const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDERR_FILENO);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            DefaultEndSignals();
            if (chdir(cwd.c_str()) != 0)
                _exit(126);
            char *const argv[] = {const_cast<char *>(Exe.c_str()), nullptr};
            execve(Exe.c_str(), argv, env.Get());
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

// Stand-alone runs on every channel until the program has counted 2000
// results and saved its panel beside itself: every line before them, the
// probe replies among them, is in the panel then. Returns that file.
fs::path RunUntilTheResultLog(TSimGang &gang, const fs::path &dir) {
    constexpr size_t kWritesPerDevice = 30; // half as many again as needed
    const std::vector<uint8_t> runs(25, 6);
    std::vector<size_t> writes(gang.Size());
    const bool saved = Within([&] {
        if (!LogFiles(dir).empty())
            return true;
        for (size_t i = 0; i < gang.Size(); ++i)
            if (writes[i] < kWritesPerDevice && !gang.Device(i).Sending()) {
                gang.Device(i).SendStandAloneRuns(runs, 1);
                ++writes[i];
            }
        return false;
    });
    EXPECT_TRUE(saved) << "no log after 2000 results";
    for (size_t i = 0; i < gang.Size(); ++i)
        EXPECT_TRUE(gang.Device(i).WaitFor([](const TSimDevice &x) { return !x.Sending(); }, kLimit));
    const auto logs = LogFiles(dir);
    return logs.empty() ? fs::path() : logs.front();
}

} // namespace

TEST(LogAtCloseSignal, ALogThatCannotBeWrittenSendsThePanelToTheErrorStreamAndEndsWithStatus1) {
    TSimGang gang(4);
    TVltRun run(gang);
    // Made before the start, so the program cannot make its folder there.
    std::ofstream(run.Dir / "Log") << "not a folder\n";
    run.Start();
    for (size_t i = 0; i < gang.Size(); ++i) {
        const TSimDevice &d = gang.Device(i);
        ASSERT_TRUE(d.WaitFor([](const TSimDevice &x) { return x.Counters().Probes > 0; }, kLimit)) << i;
        ASSERT_TRUE(Within([&] { return fs::exists(LockOf(d)); })) << LockOf(d);
    }
    const fs::path resultLog = RunUntilTheResultLog(gang, run.Dir);
    ASSERT_FALSE(resultLog.empty()) << run.Stderr();
    const auto early = SplitLines(FileText(resultLog), "\r\n");
    ASSERT_GT(early.size(), 2000u);

    run.Signal(SIGTERM);
    const int status = run.Ended();
    const std::string err = run.Stderr();
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << err;
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;

    // The box that nobody answered, with its file and reason, on the error stream.
    const std::string dir =
        std::regex_replace(run.Dir.string(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
    const std::regex box("dismissed: [^\n]*: Write Log File error!\n" + dir +
                         "/Log/VLT_[0-9]{4}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}_[0-9]{2}\\.log\n" +
                         std::strerror(ENOTDIR) + "\n");
    EXPECT_TRUE(std::regex_search(err, box)) << err;

    // The whole panel follows: what it held at 2000 results, then the rest.
    const auto lines = SplitLines(err, "\n");
    const auto first = std::find(lines.begin(), lines.end(), early.front());
    ASSERT_NE(first, lines.end()) << err;
    ASSERT_GE(static_cast<size_t>(lines.end() - first), early.size());
    EXPECT_TRUE(std::equal(early.begin(), early.end(), first));
    EXPECT_NE(std::find(first, lines.end(), ">---- Total OK Number is : 2000, NG is 0 ----"), lines.end());

    // No log anywhere else, and the ports closed at the end all the same.
    EXPECT_EQ(FileText(run.Dir / "Log"), "not a folder\n");
    EXPECT_TRUE(fs::is_empty(run.StartedIn() / "Log"));
    for (size_t i = 0; i < gang.Size(); ++i) {
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
        EXPECT_GE(gang.Device(i).Counters().HostCloses, 1u) << i;
    }
}

namespace {

// FIFOs under every log name the program may take from now on for a while,
// each held open by a reader that never reads: a write to one fills its pipe
// and then makes no progress.
class TStalledLogs {
public:
    explicit TStalledLogs(const std::vector<fs::path> &dirs) {
        const std::time_t now = std::time(nullptr);
        for (const auto &dir : dirs)
            for (std::time_t t = now - 2; t < now + 120; ++t) {
                std::tm tm{};
                localtime_r(&t, &tm);
                char name[64];
                std::strftime(name, sizeof name, "VLT_%Y_%m_%d_%H_%M_%S.log", &tm);
                const fs::path p = dir / name;
                if (mkfifo(p.c_str(), 0600) == 0)
                    Readers.push_back({p, open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)});
            }
    }
    ~TStalledLogs() {
        for (const auto &r : Readers)
            close(r.second);
    }
    // True once the program has written into a FIFO of this folder.
    bool Written(const fs::path &dir) const {
        for (const auto &[path, fd] : Readers) {
            int pending = 0;
            if (path.parent_path() == dir && ioctl(fd, FIONREAD, &pending) == 0 && pending > 0)
                return true;
        }
        return false;
    }

private:
    std::vector<std::pair<fs::path, int>> Readers;
};

} // namespace

// The 2000-result log and then the log at close go to pipes that take nothing
// more: each write fails 5 s after it began, and the signal that came
// during the first closes the program within 15 s, its panel on the error
// stream since the log at close could not be written.
TEST(LogAtCloseSignal, WritesThatStallCannotHoldTheCloseLongerThan15s) {
    TSimGang gang(4);
    TVltRun run(gang);
    fs::create_directories(run.Dir / "Log");
    TStalledLogs stalled({run.Dir, run.Dir / "Log"});
    run.Start();
    for (size_t i = 0; i < gang.Size(); ++i) {
        const TSimDevice &d = gang.Device(i);
        ASSERT_TRUE(d.WaitFor([](const TSimDevice &x) { return x.Counters().Probes > 0; }, kLimit)) << i;
        ASSERT_TRUE(Within([&] { return fs::exists(LockOf(d)); })) << LockOf(d);
    }
    const std::vector<uint8_t> runs(25, 6);
    std::vector<size_t> writes(gang.Size());
    ASSERT_TRUE(Within([&] {
        if (stalled.Written(run.Dir))
            return true;
        for (size_t i = 0; i < gang.Size(); ++i)
            if (writes[i] < 30 && !gang.Device(i).Sending()) {
                gang.Device(i).SendStandAloneRuns(runs, 1);
                ++writes[i];
            }
        return false;
    })) << "the 2000-result log was never written\n"
        << run.Stderr();

    const auto signalled = std::chrono::steady_clock::now();
    run.Signal(SIGTERM);
    const int status = run.Ended();
    const auto took = std::chrono::steady_clock::now() - signalled;
    const std::string err = run.Stderr();
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << err;
    EXPECT_LT(took, 15s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_EQ(WEXITSTATUS(status), 1) << err;
    EXPECT_TRUE(stalled.Written(run.Dir / "Log")) << "the log at close was not tried";
    EXPECT_NE(err.find(std::string("Write Log File error!\n") + (run.Dir / "Log").string()),
              std::string::npos)
        << err;
    EXPECT_NE(err.find(std::strerror(ETIMEDOUT)), std::string::npos) << err;
    EXPECT_NE(err.find(">---- Total OK Number is : 2000, NG is 0 ----"), std::string::npos) << err;
    for (size_t i = 0; i < gang.Size(); ++i)
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
}

namespace {

// Readers of the stalled logs that take one page now and then: every write
// makes a little progress before the 5 s without progress run out, as a
// slow consumer's would.
class TTrickleReaders {
public:
    TTrickleReaders(const std::vector<fs::path> &dirs, std::chrono::milliseconds every) {
        const std::time_t now = std::time(nullptr);
        for (const auto &dir : dirs)
            for (std::time_t t = now - 2; t < now + 120; ++t) {
                std::tm tm{};
                localtime_r(&t, &tm);
                char name[64];
                std::strftime(name, sizeof name, "VLT_%Y_%m_%d_%H_%M_%S.log", &tm);
                const fs::path p = dir / name;
                if (mkfifo(p.c_str(), 0600) == 0)
                    Readers.push_back({p, open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)});
            }
        Reader = std::thread([this, every] {
            char page[4096];
            while (!Stop) {
                std::this_thread::sleep_for(every);
                for (const auto &r : Readers)
                    if (read(r.second, page, sizeof page) > 0)
                        ++Pages;
            }
        });
    }
    ~TTrickleReaders() {
        Stop = true;
        Reader.join();
        for (const auto &r : Readers)
            close(r.second);
    }
    bool Written(const fs::path &dir) const {
        for (const auto &[path, fd] : Readers) {
            int pending = 0;
            if (path.parent_path() == dir && ioctl(fd, FIONREAD, &pending) == 0 && pending > 0)
                return true;
        }
        return false;
    }
    std::atomic<int> Pages{0};

private:
    std::vector<std::pair<fs::path, int>> Readers;
    std::atomic<bool> Stop{false};
    std::thread Reader;
};

} // namespace

// The logs go to pipes whose readers take a page every 4.5 s: no write ever
// waits 5 s without progress, yet the signal must still close the program
// within 15 s.
TEST(LogAtCloseSignal, SlowReadersCannotHoldTheCloseLongerThan15s) {
    TSimGang gang(4);
    TVltRun run(gang);
    fs::create_directories(run.Dir / "Log");
    TTrickleReaders slow({run.Dir, run.Dir / "Log"}, 4500ms);
    run.Start();
    for (size_t i = 0; i < gang.Size(); ++i) {
        const TSimDevice &d = gang.Device(i);
        ASSERT_TRUE(d.WaitFor([](const TSimDevice &x) { return x.Counters().Probes > 0; }, kLimit)) << i;
        ASSERT_TRUE(Within([&] { return fs::exists(LockOf(d)); })) << LockOf(d);
    }
    const std::vector<uint8_t> runs(25, 6);
    std::vector<size_t> writes(gang.Size());
    ASSERT_TRUE(Within([&] {
        if (slow.Written(run.Dir))
            return true;
        for (size_t i = 0; i < gang.Size(); ++i)
            if (writes[i] < 30 && !gang.Device(i).Sending()) {
                gang.Device(i).SendStandAloneRuns(runs, 1);
                ++writes[i];
            }
        return false;
    })) << "the 2000-result log was never written\n"
        << run.Stderr();

    const auto signalled = std::chrono::steady_clock::now();
    run.Signal(SIGTERM);
    const int status = run.Ended();
    const auto took = std::chrono::steady_clock::now() - signalled;
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << run.Stderr();
    EXPECT_LE(WEXITSTATUS(status), 1);
    EXPECT_LT(took, 15s) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms, "
                         << slow.Pages << " pages read";
    for (size_t i = 0; i < gang.Size(); ++i)
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
}
