#pragma once
// The environment of a program started from a test that runs threads (the
// simulated programmers'), made before the fork: between fork and exec the
// child may call only what is safe there. setenv takes a lock and allocates,
// and a lock another thread held at the fork is never released in the child.
#include <csignal>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

class TChildEnvironment {
public:
    // This process's environment with `set` put over it.
    explicit TChildEnvironment(const std::vector<std::pair<std::string, std::string>> &set) {
        for (char **e = environ; *e; ++e) {
            const std::string entry = *e;
            bool replaced = false;
            for (const auto &[name, value] : set)
                replaced = replaced || entry.compare(0, name.size() + 1, name + "=") == 0;
            if (!replaced)
                Entries.push_back(entry);
        }
        for (const auto &[name, value] : set)
            Entries.push_back(name + "=" + value);
        for (auto &entry : Entries)
            Pointers.push_back(entry.data());
        Pointers.push_back(nullptr);
    }
    TChildEnvironment(const TChildEnvironment &) = delete;
    TChildEnvironment &operator=(const TChildEnvironment &) = delete;

    // For execve in the child.
    char *const *Get() const { return Pointers.data(); }

private:
    std::vector<std::string> Entries;
    std::vector<char *> Pointers;
};

// The end signals back to their default in the child, with sigaction (safe
// after fork), as from a terminal: a test run in the background starts with
// SIGINT ignored, which the program would keep.
inline void DefaultEndSignals() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int s : {SIGTERM, SIGHUP, SIGINT})
        sigaction(s, &dfl, nullptr);
}
