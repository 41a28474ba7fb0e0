// The demo executable: it writes the map, serves the ports it lists and
// leaves cleanly on SIGTERM or SIGINT.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

#include "platform/SerialDeviceMap.h"
#include "tests/devsim/PtyHost.h"

namespace {

// Starts the executable with its stdout on a pipe; reads until the last
// port line is printed.
struct TRunning {
    pid_t Pid = -1;
    int Out = -1;
    std::string Printed;
    TRunning(const std::vector<std::string> &args, const std::string &untilText) {
        std::string exe = PELMOR_DEVSIM_EXE;
        std::vector<char *> argv = {exe.data()};
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        int p[2];
        if (pipe(p) != 0)
            return;
        Pid = fork();
        if (Pid == 0) {
            dup2(p[1], STDOUT_FILENO);
            close(p[0]);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(p[1]);
        Out = p[0];
        while (Printed.find(untilText) == std::string::npos) {
            pollfd pf{Out, POLLIN, 0};
            char buf[512];
            if (poll(&pf, 1, 10000) <= 0)
                break;
            ssize_t n = read(Out, buf, sizeof buf);
            if (n <= 0)
                break;
            Printed.append(buf, static_cast<size_t>(n));
        }
    }
    int Stop(int sig) {
        kill(Pid, sig);
        int status = 0;
        waitpid(Pid, &status, 0);
        Pid = -1;
        return status;
    }
    ~TRunning() {
        if (Pid > 0)
            Stop(SIGKILL);
        if (Out >= 0)
            close(Out);
    }
};

TEST(SimExecutable, ServesTheMappedPortsUntilSignalled) {
    for (int sig : {SIGTERM, SIGINT}) {
        std::string map = ::testing::TempDir() + "devsim-exe-" + std::to_string(getpid()) + "-" +
                          std::to_string(sig) + ".map";
        TRunning run({"-n", "2", "--map", map, "--suffix", "-SIM"}, "\\Device\\VCP1 ");
        ASSERT_GT(run.Pid, 0);
        auto devices = ReadSerialDeviceMap(map.c_str());
        ASSERT_EQ(devices.size(), 2u) << run.Printed;
        EXPECT_EQ(devices[0].DeviceName, "\\Device\\VCP0");
        EXPECT_NE(run.Printed.find(devices[1].PortName), std::string::npos);
        for (const auto &d : devices) {
            TPtyHost host(d.PortName);
            host.SendProbe();
            auto reply = host.ReadPacket();
            ASSERT_TRUE(reply) << d.PortName;
            EXPECT_EQ(std::string(reply->begin() + 26, reply->end() - 2), "Pelmor200VLT-SIM");
        }
        int status = run.Stop(sig);
        EXPECT_TRUE(WIFEXITED(status)) << "signal " << sig;
        EXPECT_EQ(WEXITSTATUS(status), 0) << "signal " << sig;
    }
}

TEST(SimExecutable, RefusesBadOptions) {
    const std::vector<std::string> cases[] = {{"-n", "0"},       {"--fill", "256"}, {"--reg", "0x10"},
                                              {"--info", "ABC"}, {"--runs", "0"},   {"--bogus"}};
    for (const auto &args : cases) {
        TRunning run(args, "usage:");
        ASSERT_GT(run.Pid, 0);
        int status = 0;
        waitpid(run.Pid, &status, 0);
        run.Pid = -1;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << args[0];
    }
}

TEST(SimExecutable, AClosedStdoutOrAFullFileIsAnErrorNotTheEnd) {
    const std::string map = ::testing::TempDir() + "devsim-exe-" + std::to_string(getpid()) + "-limit.map";
    struct Case {
        const char *what;
        std::vector<std::string> args;
        bool stdoutClosed; // stdout a pipe whose reader is gone
        rlim_t fileLimit;  // the file size limit
        int status;
    };
    const Case cases[] = {
        {"the usage printed to a pipe nobody reads", {"--help"}, true, RLIM_INFINITY, 0},
        {"a map past the file size limit", {"-n", "1", "--map", map}, false, 10, 1},
    };
    for (const auto &c : cases) {
        int p[2];
        ASSERT_EQ(pipe(p), 0);
        if (c.stdoutClosed)
            close(std::exchange(p[0], -1));
        const pid_t pid = fork();
        if (pid == 0) {
            // As a fresh process has them, whatever the test's are.
            signal(SIGPIPE, SIG_DFL);
            signal(SIGXFSZ, SIG_DFL);
            const rlimit limit{c.fileLimit, c.fileLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
            if (p[0] >= 0)
                close(p[0]);
            dup2(p[1], STDOUT_FILENO);
            std::string exe = PELMOR_DEVSIM_EXE;
            std::vector<char *> argv = {exe.data()};
            for (const auto &a : c.args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(exe.c_str(), argv.data());
            _exit(127);
        }
        close(p[1]);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        if (p[0] >= 0)
            close(p[0]);
        EXPECT_FALSE(WIFSIGNALED(status)) << c.what << ": ended by signal " << WTERMSIG(status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.what;
    }
    std::remove(map.c_str());
}

} // namespace
