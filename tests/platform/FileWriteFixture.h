#pragma once
// The file writer tests' fixture: a fresh folder per test, watched by the
// call watch, and the helpers the tests share.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/FileWrite.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/platform/SysCallWatch.h"

namespace fs = std::filesystem;

struct FileWrite : ::testing::Test {
    fs::path Dir;
    FileWrite() {
        Dir = fs::temp_directory_path() / ("pelmor-filewrite-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Dir = fs::canonical(Dir);
        // Named with a trailing "/": the watch tells the folder by its inode.
        SysCallWatch().Watch(Dir.string() + "/");
    }
    ~FileWrite() override {
        SysCallWatch().Reset();
        std::error_code ec;
        fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(Dir, ec);
        if (!Elsewhere.empty())
            fs::remove_all(Elsewhere, ec);
    }
    fs::path Elsewhere; // a folder outside Dir the test made
    static constexpr uid_t kNobody = 65534;
    // A group that only a test's child is given.
    static constexpr gid_t kGroup = 65533;
    static std::string Read(const fs::path &p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Write(const fs::path &p, const std::string &text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    void EmptyDir() const {
        for (const auto &e : fs::directory_iterator(Dir))
            fs::remove_all(e.path());
    }
    // 3000 bytes written over the file on a disk that takes 1 KiB per file.
    static std::optional<TFileWriteError> WriteOnFullDisk(const fs::path &file) {
        TFileSizeLimit full(1024);
        return WriteWholeFile(file.string(), std::string(3000, 'n'), TFileWriteMode::Replace);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(Dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static mode_t ModeOf(const fs::path &p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0);
        return st.st_mode & 07777;
    }
    static struct stat StatOf(const fs::path &p) {
        struct stat st {};
        EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
        return st;
    }
    // Runs `step` in a child process as `uid` (its group too, and `groups`
    // besides); true when it succeeded there and no check failed in it (the
    // child prints its own failures).
    static bool AsUser(uid_t uid, const std::function<bool()> &step, const std::vector<gid_t> &groups = {}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // A failure the parent had before does not count against the step.
            const bool failedBefore = ::testing::Test::HasFailure();
            const bool ok = ::setgroups(groups.size(), groups.data()) == 0 && ::setgid(uid) == 0 &&
                            ::setuid(uid) == 0 && step() && (failedBefore || !::testing::Test::HasFailure());
            ::_exit(ok ? 0 : 1);
        }
        int status = -1;
        return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    static std::optional<std::string> Xattr(const fs::path &p, const char *name) {
        std::string value(65536, '\0');
        const ssize_t n = ::lgetxattr(p.c_str(), name, value.data(), value.size());
        if (n < 0)
            return std::nullopt;
        value.resize(static_cast<size_t>(n));
        return value;
    }
    static bool SetXattr(const fs::path &p, const char *name, const std::string &value) {
        return ::lsetxattr(p.c_str(), name, value.data(), value.size(), 0) == 0;
    }
    // An ACL in the kernel's form: (tag, permissions, id) in the order of tags.
    static std::string Acl(std::initializer_list<std::tuple<uint16_t, uint16_t, uint32_t>> entries) {
        std::string acl("\x02\0\0\0", 4);
        auto put = [&](uint32_t v, int bytes) {
            for (int b = 0; b < bytes; ++b)
                acl += static_cast<char>((v >> (8 * b)) & 0xFF);
        };
        for (const auto &[tag, perm, id] : entries) {
            put(tag, 2);
            put(perm, 2);
            put(id, 4);
        }
        return acl;
    }
    static constexpr uint32_t kNoId = 0xFFFFFFFF;
    // rw- for the owner, r-- for nobody and the group, nothing for others.
    static std::string FileAcl() {
        return Acl(
            {{0x01, 6, kNoId}, {0x02, 4, kNobody}, {0x04, 4, kNoId}, {0x10, 4, kNoId}, {0x20, 0, kNoId}});
    }
    // A folder whose file system keeps user attributes and ACLs: the test
    // folder's, or the first other that does.
    fs::path XattrFolder() {
        const std::string own = "pelmor-filewrite-xattr-" + std::to_string(::getpid());
        for (const fs::path &base : {Dir, fs::path("/dev/shm"), fs::path("/var/tmp"), fs::current_path()}) {
            const fs::path folder = base == Dir ? Dir / "xattr" : base / own;
            std::error_code ec;
            fs::create_directories(folder, ec);
            const fs::path probe = folder / "probe";
            Write(probe, "");
            const bool ok =
                SetXattr(probe, "user.probe", "1") && SetXattr(probe, "system.posix_acl_access", FileAcl());
            fs::remove(probe, ec);
            if (ok) {
                if (base != Dir)
                    Elsewhere = folder;
                return folder;
            }
            fs::remove_all(folder, ec);
        }
        ADD_FAILURE() << "no folder here keeps user attributes and ACLs";
        return Dir;
    }
    // Each who may read, write or run the file, by its mode or its ACL:
    // "u<uid>", "g<gid>" and "other", with the bits that are in force.
    using TAccess = std::map<std::string, unsigned>;
    static TAccess AccessOf(mode_t mode, uid_t uid, gid_t gid, const std::optional<std::string> &acl) {
        TAccess access{{"u" + std::to_string(uid), (mode >> 6) & 7},
                       {"g" + std::to_string(gid), (mode >> 3) & 7},
                       {"other", mode & 7}};
        if (!acl || acl->size() < 4)
            return access;
        auto num = [&](size_t at, int bytes) {
            uint32_t v = 0;
            for (int b = bytes - 1; b >= 0; --b)
                v = v << 8 | static_cast<unsigned char>((*acl)[at + static_cast<size_t>(b)]);
            return v;
        };
        unsigned mask = 7;
        for (size_t at = 4; at + 8 <= acl->size(); at += 8)
            if (num(at, 2) == 0x10)
                mask = num(at + 2, 2);
        for (size_t at = 4; at + 8 <= acl->size(); at += 8) {
            const uint32_t tag = num(at, 2), perm = num(at + 2, 2), id = num(at + 4, 4);
            if (tag == 0x01)
                access["u" + std::to_string(uid)] = perm;
            else if (tag == 0x02)
                access["u" + std::to_string(id)] = perm & mask;
            else if (tag == 0x04)
                access["g" + std::to_string(gid)] = perm & mask;
            else if (tag == 0x08)
                access["g" + std::to_string(id)] = perm & mask;
            else if (tag == 0x20)
                access["other"] = perm;
        }
        return access;
    }
    // The rights in `now` that `final` does not give, but for the writer's own.
    static std::string Wider(const TAccess &now, const TAccess &final) {
        std::string wider;
        for (const auto &[who, bits] : now) {
            const auto f = final.count(who) ? final.at(who) : final.at("other");
            if (who != "u" + std::to_string(::geteuid()) && (bits & ~f))
                wider += who + " ";
        }
        return wider;
    }
};

// Umask for a scope.
struct TUmask {
    explicit TUmask(mode_t mask) : Old(::umask(mask)) {}
    ~TUmask() { ::umask(Old); }
    TUmask(const TUmask &) = delete;
    TUmask &operator=(const TUmask &) = delete;
    mode_t Old;
};

// The folder's file system refuses unnamed files (O_TMPFILE) for a scope.
struct TNoUnnamedFiles {
    TNoUnnamedFiles() {
        SysCallWatch().Open = [](int flags) { return (flags & O_TMPFILE) == O_TMPFILE ? EOPNOTSUPP : 0; };
    }
    ~TNoUnnamedFiles() { SysCallWatch().Open = nullptr; }
    TNoUnnamedFiles(const TNoUnnamedFiles &) = delete;
    TNoUnnamedFiles &operator=(const TNoUnnamedFiles &) = delete;
};

// No memory for `from` bytes or more at once, for a scope.
struct TNoMemory {
    explicit TNoMemory(size_t from) {
        SysCallWatch().Allocate = [from](size_t size) { return size >= from; };
    }
    ~TNoMemory() { SysCallWatch().Allocate = nullptr; }
    TNoMemory(const TNoMemory &) = delete;
    TNoMemory &operator=(const TNoMemory &) = delete;
};

// The reading end of a FIFO, closed when the scope ends.
class TFdReader {
public:
    explicit TFdReader(int fd) : Fd(fd) {}
    ~TFdReader() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFdReader(const TFdReader &) = delete;
    TFdReader &operator=(const TFdReader &) = delete;
    int Get() const { return Fd; }
    // Forgets a descriptor closed elsewhere.
    int Release() { return std::exchange(Fd, -1); }
    // What is there to read now, without waiting.
    std::string ReadNow() const {
        std::string got;
        char buf[4096];
        ssize_t n;
        while (Fd >= 0 && (n = ::read(Fd, buf, sizeof buf)) > 0)
            got.append(buf, static_cast<size_t>(n));
        return got;
    }

private:
    int Fd;
};
