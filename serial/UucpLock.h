#pragma once
// UUCP lock files, the way Linux serial tools mark a port as theirs: a file
// LCK..<name> in the lock folder holding the owner's PID as ten characters,
// right-aligned, and a newline.
#include <string>

inline constexpr const char *kUucpLockDir = "/run/lock";

// The lock file name of a port: "LCK.." and the device's path below /dev
// with "/" replaced by "_" (/dev/ttyUSB0: LCK..ttyUSB0, /dev/pts/3:
// LCK..pts_3), symbolic links followed; a device outside /dev uses its whole
// path the same way. Empty when the port does not exist.
std::string UucpLockName(const std::string &portName);

// A lock file in dir names a running process other than this one. The lock
// of a process that no longer runs is stale and removed. A file that names no
// process (empty, not a number, not a plain file) counts as held: it may be
// another tool's lock being written.
bool UucpLockHeld(const std::string &dir, const std::string &lockName);

// This process's lock on one port; the file goes when the object does.
class TUucpLock {
public:
    enum class TResult {
        Taken,
        Held,     // another running process has it
        NoFolder, // the folder is missing or not writable: nothing was locked
    };

    TUucpLock() = default;
    ~TUucpLock() { Release(); }
    TUucpLock(TUucpLock &&other) noexcept;
    TUucpLock &operator=(TUucpLock &&other) noexcept;
    TUucpLock(const TUucpLock &) = delete;
    TUucpLock &operator=(const TUucpLock &) = delete;

    // Writes the lock file, replacing a stale one.
    TResult Take(const std::string &dir, const std::string &lockName);
    // Removes the file if it still names this process.
    void Release();
    // The file this object holds; empty when none.
    const std::string &Path() const { return FPath; }

private:
    std::string FPath;
};
