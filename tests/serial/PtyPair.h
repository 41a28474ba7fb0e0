#pragma once
// A pseudo-terminal for the tests: the test holds the far (device) side, the
// component opens SlavePath.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

class TPtyPair {
public:
    TPtyPair() {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (::ptsname_r(Master, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal name");
        SlavePath = name;
    }
    ~TPtyPair() { CloseMaster(); }
    TPtyPair(const TPtyPair &) = delete;
    TPtyPair &operator=(const TPtyPair &) = delete;

    // The device is unplugged.
    void CloseMaster() {
        if (Master >= 0)
            ::close(Master);
        Master = -1;
    }

    // Writes everything from the device side (one write call when it fits).
    bool Write(const std::vector<uint8_t> &data) {
        size_t off = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (off < data.size()) {
            ssize_t k = ::write(Master, data.data() + off, data.size() - off);
            if (k > 0) {
                off += static_cast<size_t>(k);
                continue;
            }
            if (k < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pollfd p{Master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        }
        return true;
    }

    // Reads exactly n bytes on the device side, waiting up to the limit.
    std::vector<uint8_t> Read(size_t n, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::vector<uint8_t> out;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (out.size() < n) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{Master, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            uint8_t buf[4096];
            ssize_t k = ::read(Master, buf, std::min(sizeof buf, n - out.size()));
            if (k > 0)
                out.insert(out.end(), buf, buf + k);
            else if (k < 0 && errno != EAGAIN && errno != EINTR)
                break;
        }
        return out;
    }

    int Master = -1;
    std::string SlavePath;
};

// Another program holding a port the way many do: exclusive mode set, no
// lock taken. Root opens such a port all the same unless it looks.
class TForeignHolder {
public:
    explicit TForeignHolder(const std::string &path) {
        Fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (Fd < 0 || ::ioctl(Fd, TIOCEXCL) != 0)
            throw std::runtime_error("cannot hold " + path);
    }
    ~TForeignHolder() { Release(); }
    TForeignHolder(const TForeignHolder &) = delete;
    TForeignHolder &operator=(const TForeignHolder &) = delete;
    bool StillExclusive() const {
        int on = 0;
        return Fd >= 0 && ::ioctl(Fd, TIOCGEXCL, &on) == 0 && on != 0;
    }
    // Leaves the port as a well-behaved program does.
    void Release() {
        if (Fd < 0)
            return;
        ::ioctl(Fd, TIOCNXCL);
        ::close(Fd);
        Fd = -1;
    }

private:
    int Fd = -1;
};

// Another process holding a port the plain way a terminal program does:
// opened, no exclusive mode, no lock. Held() once the child has it open; the
// child lets go and ends with Release.
class TOtherProcessHolder {
public:
    explicit TOtherProcessHolder(const std::string &path) {
        int ready[2], release[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        Pid = ::fork();
        if (Pid < 0)
            throw std::runtime_error("no fork");
        if (Pid == 0) {
            // Only async-signal-safe calls in the child of a threaded process.
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0 ? 1 : 0;
            [[maybe_unused]] ssize_t w = ::write(ready[1], &ok, 1);
            char b;
            [[maybe_unused]] ssize_t r = ::read(release[0], &b, 1); // end of file: let go
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        char ok = 0;
        HeldOk = ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        ReleaseFd = release[1];
    }
    ~TOtherProcessHolder() { Release(); }
    TOtherProcessHolder(const TOtherProcessHolder &) = delete;
    TOtherProcessHolder &operator=(const TOtherProcessHolder &) = delete;

    bool Held() const { return HeldOk; }
    pid_t ProcessId() const { return Pid; }
    // The child closes the port and has ended when this returns.
    void Release() {
        if (ReleaseFd < 0)
            return;
        ::close(ReleaseFd);
        ReleaseFd = -1;
        int status = 0;
        ::waitpid(Pid, &status, 0);
    }

private:
    pid_t Pid = -1;
    int ReleaseFd = -1;
    bool HeldOk = false;
};

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    uint32_t x = seed * 2654435761u + 1;
    for (auto &b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return v;
}
