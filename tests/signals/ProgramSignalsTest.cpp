// The built programs, started offscreen against simulated programmers, asked
// to end by a signal: each closes as its window's close does and ends. They
// run with two test plugins (tests/signals/plugins): a thread such as a real
// display's connection starts, so that signals blocked too late show here as
// they would there, and a report of the dialogs that show, so that a test can
// send its signal while one is open.
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
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "protocol/Frame.h"
#include "serial/UucpLock.h"
#include "tests/signals/ChildEnvironment.h"
#include "tools/devsim/SimDevice.h"
#include "tools/devsim/SimPackets.h"

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

// How a program is started, besides the usual.
struct TStart {
    // Descriptors 0 to 2 closed, as some service managers and launchers do.
    bool StandardClosed = false;
    // This descriptor as stderr, instead of the file Stderr() reads.
    int Stderr = -1;
    rlim_t FileSizeLimit = RLIM_INFINITY;
    // The caption of a button pressed once it can be (UTF-8), as the operator would.
    const char *Press = nullptr;
};

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

    void Start(const TStart &how = {}) {
        const std::string map = (Dir / "devices.map").string();
        const std::string err = (Dir / "stderr.txt").string();
        const std::string dialogs = (Dir / "dialogs.txt").string();
        std::vector<std::pair<std::string, std::string>> set = {
            {"PELMOR_SERIAL_MAP", map},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"LSAN_OPTIONS", "suppressions=" PELMOR_LSAN_SUPP},
            {"QT_PLUGIN_PATH", PELMOR_TEST_PLUGIN_PATH},
            {"QT_QPA_GENERIC_PLUGINS", "pelmordisplaythread,pelmordialogwatch,pelmorbuttonpress"},
            {"PELMOR_DIALOG_WATCH", dialogs},
            {"XDG_RUNTIME_DIR", Dir.string()}, // else the toolkit warns on stderr
        };
        if (how.Press)
            set.emplace_back("PELMOR_PRESS_BUTTON", how.Press);
        const TChildEnvironment env(set);
        std::fflush(nullptr);
        Pid = fork();
        ASSERT_GE(Pid, 0);
        if (Pid == 0) {
            const int fd =
                how.Stderr >= 0 ? how.Stderr : open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDERR_FILENO);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, STDIN_FILENO);
            dup2(null, STDOUT_FILENO);
            if (how.FileSizeLimit != RLIM_INFINITY) {
                const rlimit size{how.FileSizeLimit, how.FileSizeLimit};
                setrlimit(RLIMIT_FSIZE, &size);
            }
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            DefaultEndSignals();
            if (chdir(Dir.c_str()) != 0)
                _exit(126);
            if (how.StandardClosed)
                for (int n = 0; n <= 2; ++n)
                    close(n);
            char *const argv[] = {const_cast<char *>(Exe.c_str()), nullptr};
            execve(Exe.c_str(), argv, env.Get());
            _exit(127);
        }
        PidFd = static_cast<int>(syscall(SYS_pidfd_open, Pid, 0));
        ASSERT_GE(PidFd, 0);
    }

    void Signal(int s) { ASSERT_EQ(syscall(SYS_pidfd_send_signal, PidFd, s, nullptr, 0), 0); }

    // Whether it ended, without waiting (it is not reaped).
    bool HasEnded() const {
        pollfd p{PidFd, POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    }

    // Where its descriptor n leads.
    std::string Descriptor(int n) const {
        std::error_code ec;
        const auto to = fs::read_symlink("/proc/" + std::to_string(Pid) + "/fd/" + std::to_string(n), ec);
        return ec ? "(closed)" : to.string();
    }

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

    // Where each of its threads waits in the kernel, for a program that hangs.
    std::string Waits() const {
        std::string out;
        std::error_code ec;
        for (const auto &t : fs::directory_iterator("/proc/" + std::to_string(Pid) + "/task", ec)) {
            std::string name = FileText(t.path() / "comm");
            if (!name.empty() && name.back() == '\n')
                name.pop_back();
            out += t.path().filename().string() + " " + name + ": " + FileText(t.path() / "wchan") + "\n";
        }
        return out;
    }

    // The dialogs that showed, oldest first: title and text.
    std::vector<std::pair<std::string, std::string>> Dialogs() const {
        std::vector<std::pair<std::string, std::string>> out;
        const std::string text = FileText(Dir / "dialogs.txt");
        size_t from = 0;
        for (size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1) {
            const std::string line = text.substr(from, at - from);
            const size_t tab = line.find('\t');
            std::string said = tab == std::string::npos ? "" : line.substr(tab + 1);
            std::replace(said.begin(), said.end(), '\x1F', '\n');
            out.emplace_back(line.substr(0, tab), said);
        }
        return out;
    }

    fs::path Dir;
    pid_t ProcessId() const { return Pid; }

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

// Waits for the end of a program whose close was refused (its log at close
// could not be written): status 1, not a kill.
::testing::AssertionResult EndedRefused(TProgramRun &run) {
    const int status = run.Ended();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << Describe(status) << "\n" << run.Stderr();
}

// Every device probed and its port locked by the program, which is still
// running then (one that ended at start says why on stderr).
void WaitConnectedAndLocked(const TProgramRun &run, TSimGang &gang, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const TSimDevice &d = gang.Device(i);
        ASSERT_TRUE(Within([&] {
            return run.HasEnded() || (d.Counters().Probes > 0 && fs::exists(LockOf(d)));
        })) << "device "
            << i << " not probed or not locked: " << d.Counters().Probes << " probes, lock "
            << (fs::exists(LockOf(d)) ? "there, naming " + FileText(LockOf(d)) : std::string("missing"))
            << " (" << LockOf(d) << ")\n"
            << run.Stderr() << "\n"
            << run.Waits();
        ASSERT_FALSE(run.HasEnded()) << "ended at start:\n" << run.Stderr();
    }
}

// Stand-alone runs on every channel until `done` holds; then every channel
// has sent all it was asked to.
void RunStandAloneUntil(TSimGang &gang, const std::function<bool()> &done, const char *what) {
    // Runs that come before a channel is connected are not counted: half as
    // many again as 2000 results need, 25 per write, at most one write on its
    // way.
    constexpr size_t kWritesPerDevice = 30;
    const std::vector<uint8_t> runs(25, 6);
    std::vector<size_t> writes(gang.Size());
    ASSERT_TRUE(Within([&] {
        if (done())
            return true;
        for (size_t i = 0; i < gang.Size(); ++i)
            if (writes[i] < kWritesPerDevice && !gang.Device(i).Sending()) {
                gang.Device(i).SendStandAloneRuns(runs, 1);
                ++writes[i];
            }
        return false;
    })) << what;
    for (size_t i = 0; i < gang.Size(); ++i)
        ASSERT_TRUE(gang.Device(i).WaitFor([](const TSimDevice &x) { return !x.Sending(); }, kLimit));
}

// Stand-alone runs until the program has counted 2000 results, which it
// marks by saving the panel beside itself: then every probe reply before
// them is in the panel too. That file is removed again.
void RunUntilTheResultLog(TSimGang &gang, const fs::path &dir) {
    ASSERT_NO_FATAL_FAILURE(RunStandAloneUntil(
        gang, [&] { return !LogFiles(dir).empty(); }, "no log after 2000 results"));
    for (const auto &f : LogFiles(dir))
        fs::remove(f);
}

// What a program says on stderr when a signal closes it: that it closes,
// then what each dialog that showed said (several open at once are
// dismissed in no set order). The toolkit's own warnings there are left out.
::testing::AssertionResult SaidClosingAndDismissed(const TProgramRun &run, const std::string &program,
                                                   int signal) {
    std::vector<std::string> want{program + ": " + strsignal(signal) + ": closing"};
    // A text of several lines: its first is on the line that names the box.
    for (const auto &[title, text] : run.Dialogs())
        want.push_back(program + ": dismissed: " + title +
                       (text.empty() ? "" : ": " + text.substr(0, text.find('\n'))));
    const std::string all = run.Stderr();
    std::vector<std::string> said;
    size_t from = 0;
    for (size_t at; (at = all.find('\n', from)) != std::string::npos; from = at + 1)
        if (all.compare(from, program.size() + 2, program + ": ") == 0)
            said.push_back(all.substr(from, at - from));
    if (!said.empty() && said[0] == want[0]) {
        std::sort(said.begin() + 1, said.end());
        std::sort(want.begin() + 1, want.end());
    }
    if (said == want)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "stderr:\n"
                                         << all << "\nwanted:\n"
                                         << ::testing::PrintToString(want);
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
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 4));
    ASSERT_NO_FATAL_FAILURE(RunUntilTheResultLog(gang, run.Dir));

    run.Signal(GetParam());
    ASSERT_TRUE(EndedNormally(run));
    EXPECT_TRUE(SaidClosingAndDismissed(run, "Pelmor200VLT", GetParam()));

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
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 4));
    ASSERT_NO_FATAL_FAILURE(RunUntilTheResultLog(gang, run.Dir));
    fs::remove_all(run.Dir / "Log");
    std::ofstream(run.Dir / "Log") << "not a folder\n";

    run.Signal(SIGTERM);
    ASSERT_TRUE(EndedRefused(run));
    const auto dialogs = run.Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    const std::string box = "Write Log File error!\n" + (run.Dir / "Log").string() + "/VLT_";
    EXPECT_EQ(dialogs[0].second.rfind(box, 0), 0u) << dialogs[0].second;
    EXPECT_NE(run.Stderr().find(box), std::string::npos) << run.Stderr();
    EXPECT_TRUE(SaidClosingAndDismissed(run, "Pelmor200VLT", SIGTERM));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
}

class UpgradeProgramSignal : public ::testing::TestWithParam<int> {};

// The upgrade tool closes its port, its lock file goes, and it ends normally.
TEST_P(UpgradeProgramSignal, ClosesItsPort) {
    TSimGang gang(1);
    TProgramRun run(PELMOR_FWUPGRADE_EXE, gang);
    run.Start();
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 1));

    run.Signal(GetParam());
    ASSERT_TRUE(EndedNormally(run));
    EXPECT_TRUE(SaidClosingAndDismissed(run, "PelmorFwUpgrade", GetParam()));
    EXPECT_FALSE(fs::exists(LockOf(gang.Device(0))));
    EXPECT_GE(gang.Device(0).Counters().HostCloses, 1u);
}

INSTANTIATE_TEST_SUITE_P(EndSignals, UpgradeProgramSignal, ::testing::Values(SIGTERM, SIGHUP, SIGINT),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param)); });

namespace {

struct TProgram {
    const char *Name;
    const char *Exe;
    size_t Devices;
};

void PrintTo(const TProgram &p, std::ostream *os) {
    *os << p.Name;
}

const TProgram kPrograms[] = {{"Pelmor200VLT", PELMOR_VLT_EXE, 4},
                              {"PelmorFwUpgrade", PELMOR_FWUPGRADE_EXE, 1}};

// Every byte the device got belongs to a frame it decoded and took: nothing
// else the program wrote (a message for stderr, say) went to the device.
::testing::AssertionResult OnlyFramesReached(const TSimDevice &d) {
    const auto packets = d.ReceivedPackets();
    if (d.PacketCount() != packets.size())
        return ::testing::AssertionFailure() << "too many packets to account for";
    uint64_t framed = 0;
    for (const auto &p : packets)
        framed += SimFrame(p.Bytes).size();
    const auto c = d.Counters();
    if (c.BadFrames == 0 && c.BytesIn == framed)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << c.BytesIn << " bytes in, " << framed << " of them in "
                                         << packets.size() << " frames, " << c.BadFrames << " bad frames";
}

// Waits until the device saw the program close its port.
void WaitClosedBy(const TSimDevice &d) {
    ASSERT_TRUE(d.WaitFor([](const TSimDevice &x) { return x.Counters().HostCloses > 0; }, kLimit));
}

// The operator starts an upgrade ("下载更新", pressed once the programmer is
// found) and the programmer fails its first block, which the tool shows in
// an error box.
const TStart kUpgradeThatFails{.Press = "下载更新"};

void ShowAnErrorBox(const TProgramRun &run, TSimDevice &d) {
    ASSERT_TRUE(Within([&] { return !run.Dialogs().empty(); })) << "no box";
    ASSERT_EQ(d.Counters().Probes, 1u);
}

std::string ProgramName(const ::testing::TestParamInfo<TProgram> &info) {
    return info.param.Name;
}

} // namespace

class StandardClosedProgram : public ::testing::TestWithParam<TProgram> {};

// Started with descriptors 0 to 2 closed, the program takes them before its
// ports, so nothing it says on stderr reaches a programmer: each device got
// the protocol's frames and nothing else, through the whole run and close.
TEST_P(StandardClosedProgram, NothingButTheProtocolReachesTheDevices) {
    TSimGang gang(GetParam().Devices);
    TProgramRun run(GetParam().Exe, gang);
    run.Start(TStart{.StandardClosed = true});
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, gang.Size()));
    for (int n = 0; n <= 2; ++n)
        EXPECT_EQ(run.Descriptor(n), "/dev/null") << n;

    run.Signal(SIGTERM);
    ASSERT_TRUE(EndedNormally(run));
    for (size_t i = 0; i < gang.Size(); ++i) {
        WaitClosedBy(gang.Device(i));
        EXPECT_GT(gang.Device(i).Counters().Probes, 0u) << i;
        EXPECT_TRUE(OnlyFramesReached(gang.Device(i))) << i;
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
    }
    EXPECT_EQ(run.Dialogs().size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Programs, StandardClosedProgram, ::testing::ValuesIn(kPrograms), ProgramName);

class SecondSignalProgram : public ::testing::TestWithParam<TProgram> {};

// A second end signal right behind the first, while the program closes or
// after its close: it is ignored, or it ends the program with status 1; it
// never kills it. The second comes at small delays, at delays spread over the
// time this program takes from a signal to its end here (measured first), or
// as a burst of signals until the program has ended.
TEST_P(SecondSignalProgram, NeverKillsTheProgram) {
    using namespace std::chrono;
    const int seconds[] = {SIGTERM, SIGHUP, SIGINT};
    int runs = 0, killed = 0;
    // One run, the second signal `delay` after the first (or one every
    // `delay` while it runs); how long it took to end after the first.
    auto once = [&](microseconds delay, bool burst) {
        TSimGang gang(GetParam().Devices);
        TProgramRun run(GetParam().Exe, gang);
        run.Start();
        WaitConnectedAndLocked(run, gang, gang.Size());
        if (HasFatalFailure())
            return microseconds(0);
        const int second = seconds[runs % 3];
        const auto first = steady_clock::now();
        run.Signal(SIGTERM);
        auto at = first + delay;
        do {
            while (steady_clock::now() < at && (at - steady_clock::now() < 1ms || !run.HasEnded())) {
            }
            if (run.HasEnded())
                break;
            run.Signal(second);
            at += delay;
        } while (burst);
        const int status = run.Ended();
        const auto took = duration_cast<microseconds>(steady_clock::now() - first);
        ++runs;
        if (WIFSIGNALED(status))
            ++killed;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << Describe(status) << "\n"
                                                                   << run.Stderr();
        for (size_t i = 0; i < gang.Size(); ++i)
            EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
        return took;
    };
    // None before the end: the time from a signal to the end.
    const microseconds close = once(hours(1), false);
    ASSERT_GT(close.count(), 0);
    const microseconds delays[] = {0us,       500us,     1000us,        2000us, 5000us,
                                   close / 4, close / 2, close * 3 / 4, close};
    constexpr int kRepeats = 2;
    for (int r = 0; r < kRepeats; ++r) {
        for (const auto d : delays) {
            SCOPED_TRACE(std::to_string(d.count()) + " us after the first");
            once(d, false);
        }
        SCOPED_TRACE("burst");
        once(200us, true);
    }
    std::printf("%s: %lld ms from a signal to the end; killed by a second signal in %d of %d runs\n",
                GetParam().Name, static_cast<long long>(close.count() / 1000), killed, runs);
}

INSTANTIATE_TEST_SUITE_P(Programs, SecondSignalProgram, ::testing::ValuesIn(kPrograms), ProgramName);

// A box that was open when the signal came: nobody can answer it, so it is
// dismissed and what it said goes to stderr, then the close goes on.

// The gang programmer cannot save its panel after 2000 results (past the
// file size limit) and shows the error; the signal comes while it is open.
TEST(GangProgramSignals, TheTextOfABoxOpenWhenTheSignalCameGoesToStderr) {
    TSimGang gang(4);
    TProgramRun run(PELMOR_VLT_EXE, gang);
    run.Start(TStart{.FileSizeLimit = 16384});
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 4));
    ASSERT_NO_FATAL_FAILURE(RunStandAloneUntil(
        gang, [&] { return !run.Dialogs().empty(); }, "no box after 2000 results"));
    const auto open = run.Dialogs();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_NE(open[0].second.find(std::strerror(EFBIG)), std::string::npos) << open[0].second;

    run.Signal(SIGTERM);
    // Then the log at close fails the same way and its box goes too; the
    // close is refused, so the program ends with status 1, its panel on stderr.
    ASSERT_TRUE(EndedRefused(run));
    const auto dialogs = run.Dialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].second.rfind("Write Log File error!\n" + (run.Dir / "Log").string() + "/VLT_", 0),
              0u)
        << dialogs[1].second;
    EXPECT_NE(dialogs[1].second.find(std::strerror(EFBIG)), std::string::npos) << dialogs[1].second;
    EXPECT_TRUE(SaidClosingAndDismissed(run, "Pelmor200VLT", SIGTERM));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
}

// The upgrade tool shows an error the programmer reported; the signal comes
// while its box is open.
TEST(UpgradeProgramSignals, TheTextOfABoxOpenWhenTheSignalCameGoesToStderr) {
    TSimGang gang(1);
    TProgramRun run(PELMOR_FWUPGRADE_EXE, gang);
    TSimDevice &d = gang.Device(0);
    d.InjectStatus(0x2C); // the probe reply leaves it armed for the first block
    run.Start(kUpgradeThatFails);
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 1));
    ASSERT_NO_FATAL_FAILURE(ShowAnErrorBox(run, d));
    ASSERT_EQ(run.Dialogs()[0].second, "编程过程出错，数据无法写入！");

    run.Signal(SIGHUP);
    ASSERT_TRUE(EndedNormally(run));
    EXPECT_TRUE(SaidClosingAndDismissed(run, "PelmorFwUpgrade", SIGHUP));
    EXPECT_FALSE(fs::exists(LockOf(d)));
}

namespace {

// A pipe for a program's stderr whose reader, kept here, never reads.
class TStuckStderr {
public:
    TStuckStderr() {
        if (pipe2(End, O_CLOEXEC) != 0)
            End[0] = End[1] = -1;
    }
    ~TStuckStderr() {
        for (int fd : End)
            if (fd >= 0)
                close(fd);
    }
    int WriteEnd() const { return End[1]; }

    // Fills it, through a description of its own, so that the program's stays
    // blocking; the write end here is closed then.
    bool Fill() {
        const std::string own = "/proc/self/fd/" + std::to_string(End[1]);
        const int filler = open(own.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (filler < 0)
            return false;
        const std::string block(4096, '#');
        while (write(filler, block.data(), block.size()) > 0) {
        }
        while (write(filler, "#", 1) == 1) {
        }
        const bool full = write(filler, "#", 1) < 0 && errno == EAGAIN;
        close(filler);
        close(End[1]);
        End[1] = -1;
        return full;
    }

private:
    int End[2];
};

} // namespace

namespace {

// A connected socket for a program's stderr whose peer, kept here, never
// reads, as a stalled log collector's: filled from here without changing
// the description the program shares.
class TStuckSocketStderr {
public:
    TStuckSocketStderr() {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, End) != 0)
            End[0] = End[1] = -1;
    }
    ~TStuckSocketStderr() {
        for (int fd : End)
            if (fd >= 0)
                close(fd);
    }
    int WriteEnd() const { return End[1]; }
    bool Fill() {
        const std::string block(4096, '#');
        while (send(End[1], block.data(), block.size(), MSG_DONTWAIT) > 0) {
        }
        while (send(End[1], "#", 1, MSG_DONTWAIT) == 1) {
        }
        const bool full = send(End[1], "#", 1, MSG_DONTWAIT) < 0 && errno == EAGAIN;
        close(End[1]);
        End[1] = -1;
        return full;
    }

private:
    int End[2];
};

} // namespace

class EarlySignalProgram : public ::testing::TestWithParam<TProgram> {};

// Whether the process blocks SIGTERM now: it has made its signal setup.
bool BlocksTerm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigBlk:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// A signal that comes once the signal setup is made, while the program is
// still starting (the toolkit, the window, the ports), closes it all the
// same: never a kill, never a program that stays, and no lock file left.
TEST_P(EarlySignalProgram, ClosesTheProgram) {
    using namespace std::chrono;
    int runs = 0, bad = 0;
    for (const auto delay : {0us, 200us, 1000us, 3000us, 10000us, 30000us, 100000us, 300000us}) {
        for (int r = 0; r < 2; ++r) {
            TSimGang gang(GetParam().Devices);
            TProgramRun run(GetParam().Exe, gang);
            run.Start();
            ASSERT_TRUE(Within([&] { return run.HasEnded() || BlocksTerm(run.ProcessId()); }));
            const auto until = steady_clock::now() + delay;
            while (steady_clock::now() < until) {
            }
            run.Signal(r ? SIGHUP : SIGTERM);
            const auto signalled = steady_clock::now();
            const int status = run.Ended();
            ++runs;
            const bool ok =
                WIFEXITED(status) && WEXITSTATUS(status) <= 1 && steady_clock::now() - signalled < 15s;
            bad += !ok;
            EXPECT_TRUE(ok) << delay.count() << " us: " << Describe(status) << "\n" << run.Stderr();
            for (size_t i = 0; i < gang.Size(); ++i)
                EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << delay.count() << " us, device " << i;
        }
    }
    std::printf("%s: %d of %d early signals did not close it\n", GetParam().Name, bad, runs);
}

INSTANTIATE_TEST_SUITE_P(Programs, EarlySignalProgram, ::testing::ValuesIn(kPrograms), ProgramName);

namespace {

// A terminal for stderr whose other side nobody reads (a terminal window
// that hangs): filled through a description of its own.
class TStuckTerminalStderr {
public:
    TStuckTerminalStderr() {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            return;
        Slave = open(ptsname(Master), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    ~TStuckTerminalStderr() {
        for (int fd : {Master, Slave})
            if (fd >= 0)
                close(fd);
    }
    int WriteEnd() const { return Slave; }
    bool Fill() {
        const int filler = open(ptsname(Master), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (filler < 0)
            return false;
        while (write(filler, "#", 1) == 1) {
        }
        const bool full = write(filler, "#", 1) < 0 && errno == EAGAIN;
        close(filler);
        close(Slave);
        Slave = -1;
        return full;
    }

private:
    int Master = -1;
    int Slave = -1;
};

} // namespace

namespace {

// Stderr is the master side of a pseudo-terminal (a program that runs this
// one under a terminal of its own) whose other side is open, raw, and read
// by nobody: full before the program starts.
class TStuckPtyMasterStderr {
public:
    TStuckPtyMasterStderr() {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            return;
        Slave = open(ptsname(Master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        // Raw, as a program that runs one under its own terminal sets it: the
        // line discipline then stops taking bytes when its buffer is full,
        // where a canonical one would drop them.
        termios raw{};
        if (Slave >= 0 && tcgetattr(Slave, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(Slave, TCSANOW, &raw);
        }
    }
    ~TStuckPtyMasterStderr() {
        for (int fd : {Master, Slave})
            if (fd >= 0)
                close(fd);
    }
    int WriteEnd() const { return Slave >= 0 ? Master : -1; }
    // The master cannot be opened again: filled through the shared
    // description, made blocking again before the program gets it.
    bool Fill() {
        const int flags = fcntl(Master, F_GETFL);
        if (flags < 0 || fcntl(Master, F_SETFL, flags | O_NONBLOCK) != 0)
            return false;
        while (write(Master, "#", 1) == 1) {
        }
        const bool full = write(Master, "#", 1) < 0 && errno == EAGAIN;
        return fcntl(Master, F_SETFL, flags) == 0 && full;
    }

private:
    int Master = -1;
    int Slave = -1;
};

} // namespace

// When the stuck stream is full: before the program starts, or just before
// the signal (a pipe, a socket: filled from here through the far end).
enum class TFull { BeforeStart, BeforeSignal };

// The upgrade tool whose stderr takes nothing more shows an error box (the
// toolkit warns as it shows), then gets the signal: neither its texts nor the
// toolkit's hold it, before the signal or after.
template <class TStuck> void UpgradeCloseIsNotHeldBy(TFull full) {
    TSimGang gang(1);
    TProgramRun run(PELMOR_FWUPGRADE_EXE, gang);
    TStuck err;
    ASSERT_GE(err.WriteEnd(), 0);
    if (full == TFull::BeforeStart) {
        ASSERT_TRUE(err.Fill());
    }
    gang.Device(0).InjectStatus(0x2C);
    TStart how = kUpgradeThatFails;
    how.Stderr = err.WriteEnd();
    run.Start(how);
    // Full long before the programmer is found and the box shows.
    if (full == TFull::BeforeSignal) {
        ASSERT_TRUE(err.Fill());
    }
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 1));
    ASSERT_NO_FATAL_FAILURE(ShowAnErrorBox(run, gang.Device(0)));

    const auto signalled = std::chrono::steady_clock::now();
    run.Signal(SIGTERM);
    ASSERT_TRUE(EndedNormally(run));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 15s);
    EXPECT_FALSE(fs::exists(LockOf(gang.Device(0))));
    EXPECT_GE(gang.Device(0).Counters().HostCloses, 1u);
}

// The gang programmer whose stderr takes nothing more, and whose log at close
// fails: neither the program's texts (the closing line, the box's, the panel
// of the refused close) nor the toolkit's warnings hold the close.
template <class TStuck> void GangCloseIsNotHeldBy(TFull full) {
    TSimGang gang(4);
    TProgramRun run(PELMOR_VLT_EXE, gang);
    TStuck err;
    ASSERT_GE(err.WriteEnd(), 0);
    if (full == TFull::BeforeStart) {
        ASSERT_TRUE(err.Fill());
    }
    run.Start(TStart{.Stderr = err.WriteEnd()});
    ASSERT_NO_FATAL_FAILURE(WaitConnectedAndLocked(run, gang, 4));
    ASSERT_NO_FATAL_FAILURE(RunUntilTheResultLog(gang, run.Dir));
    fs::remove_all(run.Dir / "Log");
    std::ofstream(run.Dir / "Log") << "not a folder\n";
    if (full == TFull::BeforeSignal) {
        ASSERT_TRUE(err.Fill());
    }

    const auto signalled = std::chrono::steady_clock::now();
    run.Signal(SIGTERM);
    ASSERT_TRUE(EndedRefused(run));
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 15s);
    EXPECT_EQ(run.Dialogs().size(), 1u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(fs::exists(LockOf(gang.Device(i)))) << i;
        EXPECT_GE(gang.Device(i).Counters().HostCloses, 1u) << i;
    }
}

// A pipe nobody reads.
TEST(GangProgramSignals, AFullStderrNobodyReadsDoesNotHoldTheClose) {
    GangCloseIsNotHeldBy<TStuckStderr>(TFull::BeforeSignal);
}
TEST(UpgradeProgramSignals, AFullStderrNobodyReadsDoesNotHoldTheClose) {
    UpgradeCloseIsNotHeldBy<TStuckStderr>(TFull::BeforeSignal);
}
// A socket whose peer stopped reading (a service manager's log collector).
TEST(GangProgramSignals, AFullStderrSocketDoesNotHoldTheClose) {
    GangCloseIsNotHeldBy<TStuckSocketStderr>(TFull::BeforeSignal);
}
TEST(UpgradeProgramSignals, AFullStderrSocketDoesNotHoldTheClose) {
    UpgradeCloseIsNotHeldBy<TStuckSocketStderr>(TFull::BeforeSignal);
}
// A terminal that takes nothing more.
TEST(UpgradeProgramSignals, AFullStderrTerminalDoesNotHoldTheClose) {
    UpgradeCloseIsNotHeldBy<TStuckTerminalStderr>(TFull::BeforeSignal);
}
// The master side of a pseudo-terminal, full before the program starts.
TEST(GangProgramSignals, AFullStderrPtyMasterDoesNotHoldTheClose) {
    GangCloseIsNotHeldBy<TStuckPtyMasterStderr>(TFull::BeforeStart);
}
TEST(UpgradeProgramSignals, AFullStderrPtyMasterDoesNotHoldTheClose) {
    UpgradeCloseIsNotHeldBy<TStuckPtyMasterStderr>(TFull::BeforeStart);
}
