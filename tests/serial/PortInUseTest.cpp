// A port another program uses is never shared: not listed, not opened.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "forms/Controls.h"
#include "platform/EventQueue.h"
#include "protocol/PortDiscovery.h"
#include "serial/Comm.h"
#include "serial/PosixPort.h"
#include "serial/UucpLock.h"
#include "tests/serial/PtyPair.h"

namespace {

namespace fs = std::filesystem;

std::string LockText(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(pid));
    return text;
}

// A process that has ended (and been reaped).
pid_t EndedProcess() {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return pid;
}

std::string FileText(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr uid_t kNobody = 65534;

// Runs body in a forked child, as nobody when this process is root, and
// returns what it reports: its text, or how it ended when it did not end
// normally. The child runs no test macros: only the parent records results.
std::string InChildOfAnotherUser(const std::function<std::string()> &body) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid < 0)
        return "no fork";
    if (pid == 0) {
        ::close(pipeFds[0]);
        int code = 0;
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            code = 2;
        } else {
            const std::string report = body();
            const char *p = report.data();
            size_t left = report.size();
            while (left > 0) {
                const ssize_t k = ::write(pipeFds[1], p, left);
                if (k <= 0) {
                    code = 3;
                    break;
                }
                p += k;
                left -= static_cast<size_t>(k);
            }
        }
        ::_exit(code);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buf[512];
    ssize_t k;
    while ((k = ::read(pipeFds[0], buf, sizeof buf)) > 0 || (k < 0 && errno == EINTR))
        if (k > 0)
            report.append(buf, static_cast<size_t>(k));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "child ended with status " + std::to_string(status);
    return report;
}

// A free pseudo-terminal listed as \Device\VCP0, with a lock folder of its own.
struct PortInUse : ::testing::Test {
    TPumpQueue Queue;
    TPtyPair Pty;
    fs::path LockDir;
    fs::path LockFile; // the lock of the pty /dev/pts/N
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "pelmor-lock-XXXXXX").string();
        LockDir = ::mkdtemp(tmpl.data());
        ASSERT_EQ(Pty.SlavePath.rfind("/dev/pts/", 0), 0u);
        LockFile = LockDir / ("LCK..pts_" + Pty.SlavePath.substr(9));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(LockDir, ec);
    }
    std::vector<std::string> Listed() const {
        TComboBox combo;
        EnumeratePorts(combo, {{"\\Device\\VCP0", Pty.SlavePath}}, LockDir.string());
        return combo.Items;
    }
    std::unique_ptr<TComm> Comm(const std::string &name = "") {
        auto c = std::make_unique<TComm>(Queue);
        SetDeclaredPortValues(*c, 5);
        c->SetCommName(name.empty() ? Pty.SlavePath : name);
        c->SetLockDir(LockDir.string());
        return c;
    }
    // OpenPort's error text; empty when the port opened.
    static std::string OpenError(TComm &comm) {
        try {
            comm.OpenPort();
            return {};
        } catch (const ECommsError &e) {
            return e.what();
        }
    }
    void WriteLock(const std::string &text) const { std::ofstream(LockFile, std::ios::binary) << text; }
};

TEST_F(PortInUse, APortAnotherProcessHasOpenIsNotListedAndNotOpened) {
    {
        TOtherProcessHolder holder(Pty.SlavePath);
        ASSERT_TRUE(holder.Held());
        EXPECT_TRUE(Listed().empty());
        auto comm = Comm();
        EXPECT_EQ(OpenError(*comm), kMsgErrorOpening);
        EXPECT_FALSE(comm->IsOpen());
        EXPECT_FALSE(fs::exists(LockFile)) << "a refused open leaves no lock";
    }
    // The other program let go.
    EXPECT_EQ(Listed(), std::vector<std::string>{Pty.SlavePath});
    auto comm = Comm();
    EXPECT_EQ(OpenError(*comm), "");
    EXPECT_TRUE(comm->IsOpen());
}

TEST_F(PortInUse, LockFilesOfRunningProcessesKeepThePort) {
    const struct {
        const char *What;
        std::string Text;
        bool Held;
        bool RemovedByTheList; // a stale lock goes when the ports are listed
    } cases[] = {
        {"a running process", LockText(1), true, false},
        {"no number in it (a lock being written)", "", true, false},
        {"a process that has ended", LockText(EndedProcess()), false, true},
        {"this process (a leftover)", LockText(::getpid()), false, false},
    };
    for (const auto &c : cases) {
        WriteLock(c.Text);
        auto comm = Comm();
        if (c.Held) {
            EXPECT_TRUE(Listed().empty()) << c.What;
            EXPECT_EQ(OpenError(*comm), kMsgErrorOpening) << c.What;
            EXPECT_EQ(FileText(LockFile), c.Text) << c.What << ": another program's lock is left alone";
            const int fd = OpenPortExclusive(Pty.SlavePath);
            EXPECT_GE(fd, 0) << c.What << ": the refused open left nothing holding the device";
            ClosePortHandle(fd);
        } else {
            EXPECT_EQ(Listed(), std::vector<std::string>{Pty.SlavePath}) << c.What;
            EXPECT_EQ(fs::exists(LockFile), !c.RemovedByTheList) << c.What;
            EXPECT_EQ(OpenError(*comm), "") << c.What;
            EXPECT_EQ(FileText(LockFile), LockText(::getpid())) << c.What;
            comm->ClosePort();
        }
        fs::remove(LockFile);
    }
}

// A lock of a process that runs under another user: this user may not signal
// it, yet it runs. The suite often runs as root, who may signal anyone, so
// the check runs in a child that has dropped to an unprivileged user.
TEST_F(PortInUse, AnotherUsersLockKeepsThePort) {
    const bool root = ::geteuid() == 0;
    // Root's own test process is the other user's; a non-root suite takes init.
    const pid_t other = root ? ::getpid() : 1;
    if (root) {
        ASSERT_EQ(::chown(LockDir.c_str(), kNobody, kNobody), 0);
        ASSERT_EQ(::chown(Pty.SlavePath.c_str(), kNobody, kNobody), 0);
    }
    WriteLock(LockText(other));
    fs::permissions(LockFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::others_read);

    const std::string failures = InChildOfAnotherUser([&] {
        std::string out;
        const auto check = [&out](bool ok, const std::string &what) {
            if (!ok)
                out += what + "\n";
        };
        check(::geteuid() != 0, "still root");
        check(Listed().empty(), "listed");
        check(OpenError(*Comm()) == kMsgErrorOpening, "opened");
        check(TUucpLock().Take(LockDir.string(), LockFile.filename().string()) == TUucpLock::TResult::Held,
              "lock taken");
        check(FileText(LockFile) == LockText(other), "the other user's lock was touched");

        // Without that lock this user lists and opens the port.
        fs::remove(LockFile);
        check(Listed() == std::vector<std::string>{Pty.SlavePath}, "not listed once free");
        auto comm = Comm();
        check(OpenError(*comm).empty(), "not opened once free");
        check(FileText(LockFile) == LockText(::getpid()), "no lock of its own");
        return out;
    });
    EXPECT_EQ(failures, "");
    EXPECT_FALSE(fs::exists(LockFile)) << "the child let go of its lock";
}

TEST_F(PortInUse, TheLockFileNamesThisProcessWhileThePortIsOpen) {
    auto comm = Comm();
    comm->OpenPort();
    EXPECT_EQ(FileText(LockFile), LockText(::getpid()));
    EXPECT_EQ(fs::status(LockFile).permissions() & fs::perms::others_read, fs::perms::others_read)
        << "other programs read the PID";
    comm->ClosePort();
    EXPECT_FALSE(fs::exists(LockFile));

    // Another name of the same device takes the same lock; the lock goes
    // also when the component ends with the port open.
    const fs::path alias = LockDir / "COM7";
    fs::create_symlink(Pty.SlavePath, alias);
    comm = Comm(alias.string());
    comm->OpenPort();
    EXPECT_TRUE(fs::exists(LockFile));
    comm.reset();
    EXPECT_FALSE(fs::exists(LockFile));
    EXPECT_EQ(fs::directory_iterator(LockDir)->path(), alias) << "no temporary file left behind";

    // Without a lock folder the port opens all the same.
    comm = Comm();
    comm->SetLockDir((LockDir / "missing").string());
    EXPECT_EQ(OpenError(*comm), "");
    EXPECT_TRUE(comm->IsOpen());
}

} // namespace
