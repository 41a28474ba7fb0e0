#include "platform/FileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace {

using TResult = std::optional<TFileWriteError>;

TResult Fail(TFileWriteStep step, int err) {
    return TFileWriteError{step, err};
}

// One try at the write. It starts over when the name changed under it
// (a file appeared, vanished or was swapped between two steps).
struct TAttempt {
    bool Retry = false;
    TResult Result;
};

TAttempt Finish(TResult result) {
    return {false, std::move(result)};
}

TAttempt Retry() {
    return {true, std::nullopt};
}

// How often a name that keeps changing is tried before giving up.
constexpr int kAttempts = 8;
// The kernel's own limit of links followed in one name.
constexpr int kMaxLinks = 40;
// The most old content kept in memory to put back after a failed in-place write.
constexpr off_t kMaxRestoreBytes = off_t{256} << 20;
// The kernel's limits for one attribute value and for the list of names.
constexpr size_t kMaxXattrBytes = 65536;

// Owns a file descriptor; closes it when the scope ends unless closed before.
class TFd {
public:
    TFd() = default;
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(TFd &&other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
    TFd &operator=(TFd &&other) noexcept {
        if (this != &other) {
            if (Fd >= 0)
                ::close(Fd);
            Fd = std::exchange(other.Fd, -1);
        }
        return *this;
    }

    int Get() const { return Fd; }
    // 0, or the error of close (a full disk may only show there).
    int Close() {
        const int fd = std::exchange(Fd, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int Fd = -1;
};

bool SameFile(const struct stat &a, const struct stat &b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the temporary file when the scope ends unless it was renamed.
class TTempFile {
public:
    TTempFile(int folder, std::string name) : Folder(folder), Name(std::move(name)) {}
    ~TTempFile() {
        if (!Name.empty())
            ::unlinkat(Folder, Name.c_str(), 0);
    }
    TTempFile(const TTempFile &) = delete;
    TTempFile &operator=(const TTempFile &) = delete;

    const char *Get() const { return Name.c_str(); }
    void Keep() { Name.clear(); }

private:
    int Folder;
    std::string Name;
};

// 0, or the error of the write that failed; at < 0 writes at the file's
// position, else from that offset.
int WriteAll(int fd, std::string_view bytes, off_t at = -1) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            at < 0 ? ::write(fd, bytes.data() + done, bytes.size() - done)
                   : ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

bool PReadAll(int fd, std::string &into) {
    size_t done = 0;
    while (done < into.size()) {
        const ssize_t n = ::pread(fd, into.data() + done, into.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Where a name leads: the folder that holds the file itself, the file's name
// in it, and what that name holds now (no descriptor: nothing yet).
struct TLocation {
    TFd Folder; // O_PATH
    std::string Name;
    TFd Object; // O_PATH, never a symbolic link
    struct stat St {};
};

// The rule the kernel applies with protected_symlinks, applied here whatever
// the setting: in a sticky world-writable folder a link is followed only when
// the follower or the folder's owner owns it. Otherwise another user's link in
// a shared folder could point a privileged write at any file.
bool MayFollow(const struct stat &folder, const struct stat &link) {
    if (link.st_uid == ::geteuid())
        return true;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH))
        return true;
    return folder.st_uid == link.st_uid;
}

// Walks `path` one name at a time from descriptors, following links only where
// MayFollow allows, so that no step trusts a name that may change meanwhile.
// False with `err` set as open(2) would set it.
bool Locate(const std::string &path, TLocation &at, int &err) {
    std::vector<std::string> pending; // the names still to walk, the next one last
    auto pushNames = [&](const std::string &text) {
        std::vector<std::string> names;
        size_t from = 0;
        while (from <= text.size()) {
            const size_t slash = std::min(text.find('/', from), text.size());
            if (slash > from)
                names.push_back(text.substr(from, slash - from));
            from = slash + 1;
        }
        // A link to "/" at the end: the name is that folder.
        if (names.empty() && pending.empty())
            names.push_back(".");
        pending.insert(pending.end(), names.rbegin(), names.rend());
    };
    TFd folder(::open(path.front() == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() < 0) {
        err = errno;
        return false;
    }
    pushNames(path);
    int links = 0;
    while (!pending.empty()) {
        const std::string name = std::move(pending.back());
        pending.pop_back();
        TFd object(::openat(folder.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (object.Get() < 0) {
            if (errno == ENOENT && pending.empty()) {
                at = TLocation{std::move(folder), name, TFd(), {}};
                return true;
            }
            err = errno;
            return false;
        }
        if (::fstat(object.Get(), &st) != 0) {
            err = errno;
            return false;
        }
        if (S_ISLNK(st.st_mode)) {
            struct stat folderSt {};
            if (++links > kMaxLinks) {
                err = ELOOP;
                return false;
            }
            if (::fstat(folder.Get(), &folderSt) != 0) {
                err = errno;
                return false;
            }
            if (!MayFollow(folderSt, st)) {
                err = EACCES;
                return false;
            }
            std::string target(PATH_MAX, '\0');
            const ssize_t n = ::readlinkat(object.Get(), "", target.data(), target.size());
            if (n <= 0 || static_cast<size_t>(n) >= target.size()) {
                err = n < 0 ? errno : n == 0 ? ENOENT : ENAMETOOLONG;
                return false;
            }
            target.resize(static_cast<size_t>(n));
            if (target.front() == '/') {
                folder = TFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                if (folder.Get() < 0) {
                    err = errno;
                    return false;
                }
            }
            pushNames(target);
            continue;
        }
        if (pending.empty()) {
            at = TLocation{std::move(folder), name, std::move(object), st};
            return true;
        }
        if (!S_ISDIR(st.st_mode)) {
            err = ENOTDIR;
            return false;
        }
        folder = std::move(object);
    }
    err = ENOENT;
    return false;
}

// The process's umask, read without setting it: umask(2) can only be read by
// changing it, which would give files another thread creates meanwhile the
// wrong mode.
mode_t CurrentUmask() {
    TFd status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    if (status.Get() >= 0) {
        char text[8192];
        size_t size = 0;
        while (size < sizeof text - 1) {
            const ssize_t n = ::read(status.Get(), text + size, sizeof text - 1 - size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            size += static_cast<size_t>(n);
        }
        text[size] = '\0';
        if (const char *line = std::strstr(text, "\nUmask:")) {
            char *end = nullptr;
            const unsigned long mask = std::strtoul(line + 7, &end, 8);
            if (end != line + 7 && mask <= 0777)
                return static_cast<mode_t>(mask);
        }
    }
    // Without /proc a child reads it; its exit status holds the bits that
    // matter to a new file's mode (0666).
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(static_cast<int>((::umask(0) & 0666) >> 1));
    int status2 = 0;
    if (child > 0) {
        pid_t got;
        while ((got = ::waitpid(child, &status2, 0)) < 0 && errno == EINTR) {
        }
        if (got == child && WIFEXITED(status2))
            return static_cast<mode_t>(WEXITSTATUS(status2) << 1) & 0666;
    }
    return 077;
}

// Reads extended attributes from a descriptor that may read them, else by
// the name /proc gives an O_PATH descriptor (a file the user may not read).
class TXattrReader {
public:
    TXattrReader(int readable, int opath) : Readable(readable) {
        std::snprintf(ProcName, sizeof ProcName, "/proc/self/fd/%d", opath);
    }
    // The value of `name`, or false with errno set (ENODATA: it has none).
    bool Get(const char *name, std::string &value) const {
        return Read(value, [&](char *to, size_t size) {
            return Readable >= 0 ? ::fgetxattr(Readable, name, to, size)
                                 : ::getxattr(ProcName, name, to, size);
        });
    }
    // The names, each ended by a NUL; false with errno set.
    bool List(std::string &names) const {
        return Read(names, [&](char *to, size_t size) {
            return Readable >= 0 ? ::flistxattr(Readable, to, size) : ::listxattr(ProcName, to, size);
        });
    }

private:
    template <typename F> static bool Read(std::string &into, F call) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            const ssize_t size = call(nullptr, 0);
            if (size < 0)
                return false;
            if (static_cast<size_t>(size) > kMaxXattrBytes) {
                errno = E2BIG;
                return false;
            }
            into.assign(static_cast<size_t>(size), '\0');
            const ssize_t n = call(into.data(), into.size());
            if (n >= 0) {
                into.resize(static_cast<size_t>(n));
                return true;
            }
            if (errno != ERANGE)
                return false;
        }
        errno = ERANGE;
        return false;
    }

    int Readable;
    char ProcName[40];
};

constexpr const char *kAccessAcl = "system.posix_acl_access";
constexpr const char *kDefaultAcl = "system.posix_acl_default";

using TXattrs = std::vector<std::pair<std::string, std::string>>;

// All of a file's extended attributes, its ACL among them. False when any
// cannot be read. File capabilities are left out: a write drops them too.
bool ReadXattrs(const TXattrReader &reader, TXattrs &into) {
    std::string names;
    if (!reader.List(names))
        return errno == ENOTSUP;
    for (size_t from = 0; from < names.size();) {
        const size_t end = std::min(names.find('\0', from), names.size());
        std::string name = names.substr(from, end - from);
        from = end + 1;
        if (name.empty() || name == "security.capability")
            continue;
        std::string value;
        if (!reader.Get(name.c_str(), value)) {
            if (errno == ENODATA)
                continue;
            return false;
        }
        into.emplace_back(std::move(name), std::move(value));
    }
    return true;
}

// The access ACL that open(2) gives a new file with `mode` in a folder with
// the default ACL `acl` (the kernel's masking of each class). False when the
// ACL is not one the kernel wrote.
bool MaskDefaultAcl(std::string &acl, mode_t mode) {
    constexpr size_t kHeader = 4, kEntry = 8;
    if (acl.size() < kHeader || (acl.size() - kHeader) % kEntry != 0)
        return false;
    auto u16 = [&](size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(acl[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(acl[at + 1])) << 8;
    };
    auto setPerm = [&](size_t at, unsigned perm) {
        acl[at + 2] = static_cast<char>(perm & 0xFF);
        acl[at + 3] = static_cast<char>(perm >> 8);
    };
    constexpr unsigned kUserObj = 0x01, kGroupObj = 0x04, kMask = 0x10, kOther = 0x20;
    size_t groupAt = 0, maskAt = 0;
    for (size_t at = kHeader; at < acl.size(); at += kEntry) {
        const unsigned tag = u16(at), perm = u16(at + 2);
        if (tag == kUserObj)
            setPerm(at, perm & ((mode >> 6) & 7));
        else if (tag == kOther)
            setPerm(at, perm & (mode & 7));
        else if (tag == kGroupObj)
            groupAt = at;
        else if (tag == kMask)
            maskAt = at;
    }
    const size_t groupClass = maskAt ? maskAt : groupAt;
    if (!groupClass)
        return false;
    setPerm(groupClass, u16(groupClass + 2) & ((mode >> 3) & 7));
    return true;
}

// Gives a finished new file the mode and ACL open(2) would have given it:
// the folder's default ACL masked by 0666, or 0666 less the umask.
int GiveNewFileMode(int fd, int folder) {
    TFd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const TXattrReader reader(readable.Get(), folder);
    std::string acl;
    if (reader.Get(kDefaultAcl, acl)) {
        // Left private when the ACL is not understood or not taken.
        if (MaskDefaultAcl(acl, 0666))
            ::fsetxattr(fd, kAccessAcl, acl.data(), acl.size(), 0);
        return 0;
    }
    if (errno != ENODATA && errno != ENOTSUP)
        return 0;
    return ::fchmod(fd, 0666 & ~CurrentUmask()) == 0 ? 0 : errno;
}

// A new empty file beside the target, readable by its owner alone whatever
// the umask. -1 with `err` set when the folder refuses it.
int CreateTemp(const TLocation &at, std::string &name, int &err) {
    // A short form of the name tells whose leftover a crash left behind,
    // without the temporary name ever growing past the folder's limit.
    const std::string base = at.Name.substr(0, 64);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        name = "." + base + "." + suffix + ".tmp";
        const int fd = ::openat(at.Folder.Get(), name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            err = errno;
            return -1;
        }
    }
    err = EEXIST;
    return -1;
}

// The rename itself reaches the disk too.
void SyncFolder(const TLocation &at) {
    TFd fd(::openat(at.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

// Flags for opening the file the name holds: never a link, never a wait.
constexpr int kOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The open of a name that changed since it was located: start over.
bool NameChanged(int err) {
    return err == ENOENT || err == ELOOP;
}

// A pipe, a device or a folder: written as a stream. The open itself never
// waits: a named pipe nobody reads fails at once instead of holding the caller
// until a reader turns up.
TAttempt WriteStream(const TLocation &at, std::string_view bytes) {
    TFd fd(::openat(at.Folder.Get(), at.Name.c_str(), O_WRONLY | kOpenFlags));
    if (fd.Get() < 0)
        return NameChanged(errno) ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return Finish(Fail(TFileWriteStep::Create, errno));
    // Opened without O_TRUNC: a regular file put there meanwhile is not cut.
    if (S_ISREG(st.st_mode))
        return Retry();
    // Writes may wait as usual once the file is open.
    const int fl = ::fcntl(fd.Get(), F_GETFL);
    if (fl >= 0)
        ::fcntl(fd.Get(), F_SETFL, fl & ~O_NONBLOCK);
    if (const int err = WriteAll(fd.Get(), bytes))
        return Finish(Fail(TFileWriteStep::Write, err));
    if (const int err = fd.Close())
        return Finish(Fail(TFileWriteStep::Write, err));
    return Finish(std::nullopt);
}

// A new file that could be neither renamed nor linked into place without
// replacing (a folder whose file system has neither): created under its own
// name, and removed again when the write fails.
TAttempt CreateDirectly(const TLocation &at, std::string_view bytes) {
    TFd fd(::openat(at.Folder.Get(), at.Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666));
    if (fd.Get() < 0)
        return errno == EEXIST ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    int err = WriteAll(fd.Get(), bytes);
    if (err == 0 && ::fsync(fd.Get()) != 0)
        err = errno;
    if (const int closeErr = fd.Close(); err == 0)
        err = closeErr;
    if (err != 0) {
        ::unlinkat(at.Folder.Get(), at.Name.c_str(), 0);
        return Finish(Fail(TFileWriteStep::Write, err));
    }
    SyncFolder(at);
    return Finish(std::nullopt);
}

// A missing file: written whole under a temporary name and put in place only
// if the name is still free. A file that appeared meanwhile is never replaced:
// the write starts over and treats it as the mode says.
TAttempt PutNewFile(const TLocation &at, std::string_view bytes) {
    std::string name;
    int err = 0;
    TFd fd(CreateTemp(at, name, err));
    if (fd.Get() < 0)
        return Finish(Fail(TFileWriteStep::Create, err));
    TTempFile temp(at.Folder.Get(), name);
    if ((err = WriteAll(fd.Get(), bytes)))
        return Finish(Fail(TFileWriteStep::Write, err));
    if ((err = GiveNewFileMode(fd.Get(), at.Folder.Get())))
        return Finish(Fail(TFileWriteStep::Create, err));
    if (::fsync(fd.Get()) != 0)
        return Finish(Fail(TFileWriteStep::Write, errno));
    if ((err = fd.Close()))
        return Finish(Fail(TFileWriteStep::Write, err));
    const int folder = at.Folder.Get();
    if (::renameat2(folder, temp.Get(), folder, at.Name.c_str(), RENAME_NOREPLACE) == 0) {
        temp.Keep();
        SyncFolder(at);
        return Finish(std::nullopt);
    }
    if (errno == EEXIST)
        return Retry();
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return Finish(Fail(TFileWriteStep::Create, errno));
    // No rename that refuses to replace here: a second name refuses too.
    if (::linkat(folder, temp.Get(), folder, at.Name.c_str(), 0) == 0) {
        SyncFolder(at);
        return Finish(std::nullopt);
    }
    if (errno == EEXIST)
        return Retry();
    if (errno != EPERM && errno != ENOTSUP && errno != EMLINK)
        return Finish(Fail(TFileWriteStep::Create, errno));
    return CreateDirectly(at, bytes);
}

enum class TRenameOutcome { Done, Failed, NeedsInPlace };

// Writes a temporary file and renames it over the existing one. The temporary
// file stays private while its content is written; it takes the old file's
// owner, mode and extended attributes before it is flushed and renamed.
// NeedsInPlace when the folder takes no new file, or any of these cannot be
// kept.
TRenameOutcome ReplaceByRename(const TLocation &at, std::string_view bytes, TResult &result) {
    const struct stat &old = at.St;
    TXattrs xattrs;
    {
        TFd readable(::openat(at.Folder.Get(), at.Name.c_str(), O_RDONLY | kOpenFlags));
        struct stat st {};
        if (readable.Get() >= 0 && (::fstat(readable.Get(), &st) != 0 || !SameFile(st, old)))
            readable = TFd();
        if (!ReadXattrs(TXattrReader(readable.Get(), at.Object.Get()), xattrs))
            return TRenameOutcome::NeedsInPlace;
    }
    const bool hasAcl =
        std::any_of(xattrs.begin(), xattrs.end(), [](const auto &x) { return x.first == kAccessAcl; });

    std::string name;
    int err = 0;
    TFd fd(CreateTemp(at, name, err));
    if (fd.Get() < 0) {
        if (err == EACCES || err == EPERM)
            return TRenameOutcome::NeedsInPlace;
        result = Fail(TFileWriteStep::Create, err);
        return TRenameOutcome::Failed;
    }
    TTempFile temp(at.Folder.Get(), name);
    if ((err = WriteAll(fd.Get(), bytes))) {
        result = Fail(TFileWriteStep::Write, err);
        return TRenameOutcome::Failed;
    }
    struct stat now {};
    if (::fstat(fd.Get(), &now) != 0) {
        result = Fail(TFileWriteStep::Create, errno);
        return TRenameOutcome::Failed;
    }
    // The owner first: a change of owner clears the set-id bits.
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd.Get(), old.st_uid, old.st_gid) != 0)
        return TRenameOutcome::NeedsInPlace;
    auto copy = [&](bool acl) {
        for (const auto &[key, value] : xattrs)
            if ((key == kAccessAcl) == acl &&
                ::fsetxattr(fd.Get(), key.c_str(), value.data(), value.size(), 0) != 0)
                return false;
        return true;
    };
    // The attributes while the file still takes them; the ACL after the mode,
    // which would change its mask.
    if (!copy(false))
        return TRenameOutcome::NeedsInPlace;
    // An ACL the folder's default gave the new file is not the old file's.
    if (!hasAcl && ::fremovexattr(fd.Get(), kAccessAcl) != 0 && errno != ENODATA && errno != ENOTSUP)
        return TRenameOutcome::NeedsInPlace;
    if (::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
        result = Fail(TFileWriteStep::Create, errno);
        return TRenameOutcome::Failed;
    }
    if (!copy(true))
        return TRenameOutcome::NeedsInPlace;
    if (::fsync(fd.Get()) != 0)
        err = errno;
    if (const int closeErr = fd.Close(); err == 0)
        err = closeErr;
    if (err != 0) {
        result = Fail(TFileWriteStep::Write, err);
        return TRenameOutcome::Failed;
    }
    if (::renameat(at.Folder.Get(), temp.Get(), at.Folder.Get(), at.Name.c_str()) != 0) {
        err = errno;
        // A sticky folder lets only the owner replace the file.
        if (err == EACCES || err == EPERM)
            return TRenameOutcome::NeedsInPlace;
        result = Fail(TFileWriteStep::Create, err);
        return TRenameOutcome::Failed;
    }
    temp.Keep();
    SyncFolder(at);
    return TRenameOutcome::Done;
}

// Opens the located regular file again with `flags`; Retry when the name no
// longer holds it.
TAttempt OpenAgain(const TLocation &at, int flags, TFd &fd, struct stat &st) {
    fd = TFd(::openat(at.Folder.Get(), at.Name.c_str(), flags | kOpenFlags));
    if (fd.Get() < 0)
        return NameChanged(errno) ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    if (::fstat(fd.Get(), &st) != 0)
        return Finish(Fail(TFileWriteStep::Create, errno));
    if (!SameFile(st, at.St))
        return Retry();
    return Finish(std::nullopt);
}

// For a file that cannot be replaced by renaming (its folder takes no new
// file, it has more names than one, or its attributes cannot be copied):
// written over in place, and all of its old content is put back when the
// write fails.
TAttempt OverwriteInPlace(const TLocation &at, std::string_view bytes) {
    TFd fd;
    struct stat st {};
    bool canRestore = true;
    TAttempt opened = OpenAgain(at, O_RDWR, fd, st);
    if (!opened.Retry && opened.Result && opened.Result->Errno == EACCES) {
        canRestore = false;
        opened = OpenAgain(at, O_WRONLY, fd, st);
    }
    if (opened.Retry || opened.Result)
        return opened;
    std::string before;
    if (canRestore) {
        if (st.st_size > kMaxRestoreBytes)
            return Finish(Fail(TFileWriteStep::Create, EFBIG));
        before.assign(static_cast<size_t>(st.st_size), '\0');
        canRestore = PReadAll(fd.Get(), before);
    }
    auto restore = [&](int err) {
        if (canRestore && WriteAll(fd.Get(), before, 0) == 0 && ::ftruncate(fd.Get(), st.st_size) == 0)
            ::fsync(fd.Get());
        return Finish(Fail(TFileWriteStep::Write, err));
    };
    if (const int err = WriteAll(fd.Get(), bytes, 0))
        return restore(err);
    if (::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.Get()) != 0)
        return restore(errno);
    if (const int err = fd.Close())
        return Finish(Fail(TFileWriteStep::Write, err));
    return Finish(std::nullopt);
}

TAttempt AppendWhole(const TLocation &at, std::string_view bytes) {
    TFd fd;
    struct stat st {};
    if (TAttempt opened = OpenAgain(at, O_WRONLY | O_APPEND, fd, st); opened.Retry || opened.Result)
        return opened;
    int err = WriteAll(fd.Get(), bytes);
    if (err == 0 && ::fsync(fd.Get()) != 0)
        err = errno;
    if (err != 0) {
        // All the lines or none: the partial tail goes.
        if (::ftruncate(fd.Get(), st.st_size) == 0)
            ::fsync(fd.Get());
        return Finish(Fail(TFileWriteStep::Write, err));
    }
    // A second descriptor cuts the tail back if the close reports a failure.
    TFd spare(::fcntl(fd.Get(), F_DUPFD_CLOEXEC, 0));
    if (const int closeErr = fd.Close()) {
        if (spare.Get() >= 0 && ::ftruncate(spare.Get(), st.st_size) != 0) {
            // Nothing more can be done; the error below is still reported.
        }
        return Finish(Fail(TFileWriteStep::Write, closeErr));
    }
    return Finish(std::nullopt);
}

TAttempt WriteOnce(const TLocation &at, std::string_view bytes, TFileWriteMode mode) {
    if (at.Object.Get() < 0)
        return PutNewFile(at, bytes);
    if (!S_ISREG(at.St.st_mode))
        return WriteStream(at, bytes);
    if (mode == TFileWriteMode::Append)
        return AppendWhole(at, bytes);
    // A file the user may not write stays refused, even though its folder
    // would take a replacement.
    if (::faccessat(at.Folder.Get(), at.Name.c_str(), W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        return NameChanged(errno) ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    // More names than one: all of them must see the new content.
    if (at.St.st_nlink == 1) {
        TResult result;
        if (ReplaceByRename(at, bytes, result) != TRenameOutcome::NeedsInPlace)
            return Finish(result);
    }
    return OverwriteInPlace(at, bytes);
}

// A name ending in "/" names a folder, an empty one nothing: the open gives
// its own error.
TResult OpenError(const std::string &path, TFileWriteMode mode) {
    const int flags = mode == TFileWriteMode::Append ? O_APPEND : O_TRUNC;
    TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0666));
    return Fail(TFileWriteStep::Create, fd.Get() < 0 ? errno : EISDIR);
}

} // namespace

std::optional<TFileWriteError> WriteWholeFile(const std::string &path, std::string_view bytes,
                                              TFileWriteMode mode) {
    if (path.empty() || path.back() == '/')
        return OpenError(path, mode);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        TLocation at;
        int err = 0;
        if (!Locate(path, at, err))
            return Fail(TFileWriteStep::Create, err);
        TAttempt done = WriteOnce(at, bytes, mode);
        if (!done.Retry)
            return done.Result;
    }
    return Fail(TFileWriteStep::Create, EAGAIN);
}
