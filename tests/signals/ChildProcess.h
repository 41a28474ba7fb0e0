#pragma once
// Runs a test body in a child process of its own, for what changes the whole
// process: signal handling, threads, the standard descriptors.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs body in a child and returns its wait status; a child still running
// after limitMs is killed (SIGKILL). The body returns the child's exit code.
inline int InChild(const std::function<int()> &body, int limitMs = 60000) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0)
        _exit(body());
    if (pid < 0)
        return -1;
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd p{pidFd, POLLIN, 0};
    if (pidFd < 0 || poll(&p, 1, limitMs) != 1)
        kill(pid, SIGKILL);
    if (pidFd >= 0)
        close(pidFd);
    int status = -1;
    waitpid(pid, &status, 0);
    return status;
}

inline std::string DescribeStatus(int status) {
    if (status == -1)
        return "not started";
    if (WIFSIGNALED(status))
        return std::string("killed by ") + strsignal(WTERMSIG(status));
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

inline ::testing::AssertionResult ExitedZero(int status) {
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << DescribeStatus(status);
}
