#include "platform/FileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <random>

namespace {

using TResult = std::optional<TFileWriteError>;

TResult Fail(TFileWriteStep step, int err) {
    return TFileWriteError{step, err};
}

// Owns a file descriptor; closes it when the scope ends unless closed before.
class TFd {
public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0)
            ::close(Fd);
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;

    int Get() const { return Fd; }
    // 0, or the error of close (a full disk may only show there).
    int Close() {
        const int fd = Fd;
        Fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int Fd;
};

// Removes the temporary file when the scope ends unless it was renamed.
class TTempFile {
public:
    explicit TTempFile(std::string name) : Name(std::move(name)) {}
    ~TTempFile() {
        if (!Name.empty())
            ::unlink(Name.c_str());
    }
    TTempFile(const TTempFile &) = delete;
    TTempFile &operator=(const TTempFile &) = delete;

    const std::string &Path() const { return Name; }
    void Keep() { Name.clear(); }

private:
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

std::string FolderOf(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows symbolic links to the name of the file itself, so that replacing the
// file keeps the links that name it. False with `err` set on a loop.
bool ResolveLinks(std::string &path, int &err) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size()) {
            err = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        target.resize(static_cast<size_t>(n));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    err = ELOOP;
    return false;
}

// A new empty file beside `path`, with the mode open(2) gives a new file
// (0666 less the umask). -1 with `err` set when the folder refuses it.
int CreateTemp(const std::string &path, std::string &name, int &err) {
    std::string folder = FolderOf(path);
    if (folder.back() != '/')
        folder += '/';
    // A short form of the name tells whose leftover a crash left behind,
    // without the temporary name ever growing past the folder's limit.
    const std::string base = path.substr(path.rfind('/') + 1, 64);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        name = folder + "." + base + "." + suffix + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
void SyncFolder(const std::string &path) {
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A pipe, a device or a folder: written as a stream. The open itself never
// waits: a named pipe nobody reads fails at once instead of holding the caller
// until a reader turns up.
TResult WriteStream(const std::string &path, std::string_view bytes, int flags) {
    TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0666));
    if (fd.Get() < 0)
        return Fail(TFileWriteStep::Create, errno);
    // Writes may wait as usual once the file is open.
    const int fl = ::fcntl(fd.Get(), F_GETFL);
    if (fl >= 0)
        ::fcntl(fd.Get(), F_SETFL, fl & ~O_NONBLOCK);
    if (const int err = WriteAll(fd.Get(), bytes))
        return Fail(TFileWriteStep::Write, err);
    if (const int err = fd.Close())
        return Fail(TFileWriteStep::Write, err);
    return std::nullopt;
}

enum class TRenameOutcome { Done, Failed, NeedsInPlace };

// Writes a temporary file and renames it over `path`. `old` is the file being
// replaced (nullptr: a new file). NeedsInPlace when the folder takes no new
// file or the old file's owner cannot be kept.
TRenameOutcome ReplaceByRename(const std::string &path, std::string_view bytes, const struct stat *old,
                               TResult &result) {
    std::string name;
    int err = 0;
    TFd fd(CreateTemp(path, name, err));
    if (fd.Get() < 0) {
        if (old && (err == EACCES || err == EPERM))
            return TRenameOutcome::NeedsInPlace;
        result = Fail(TFileWriteStep::Create, err);
        return TRenameOutcome::Failed;
    }
    TTempFile temp(name);
    if (old) {
        struct stat now {};
        if (::fstat(fd.Get(), &now) != 0) {
            result = Fail(TFileWriteStep::Create, errno);
            return TRenameOutcome::Failed;
        }
        // The owner first: a change of owner clears the set-id bits.
        if ((now.st_uid != old->st_uid || now.st_gid != old->st_gid) &&
            ::fchown(fd.Get(), old->st_uid, old->st_gid) != 0)
            return TRenameOutcome::NeedsInPlace;
        if (::fchmod(fd.Get(), old->st_mode & 07777) != 0) {
            result = Fail(TFileWriteStep::Create, errno);
            return TRenameOutcome::Failed;
        }
    }
    err = WriteAll(fd.Get(), bytes);
    if (err == 0 && ::fsync(fd.Get()) != 0)
        err = errno;
    if (const int closeErr = fd.Close(); err == 0)
        err = closeErr;
    if (err != 0) {
        result = Fail(TFileWriteStep::Write, err);
        return TRenameOutcome::Failed;
    }
    if (::rename(temp.Path().c_str(), path.c_str()) != 0) {
        err = errno;
        // A sticky folder lets only the owner replace the file.
        if (old && (err == EACCES || err == EPERM))
            return TRenameOutcome::NeedsInPlace;
        result = Fail(TFileWriteStep::Create, err);
        return TRenameOutcome::Failed;
    }
    temp.Keep();
    SyncFolder(path);
    return TRenameOutcome::Done;
}

// For a file that cannot be replaced by renaming (its folder takes no new
// file, or it has more names than one): written over in place, and the bytes
// it overwrote are put back when the write fails.
TResult OverwriteInPlace(const std::string &path, std::string_view bytes) {
    bool canRestore = true;
    int opened = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (opened < 0 && errno == EACCES) {
        canRestore = false;
        opened = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    }
    TFd fd(opened);
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0)
        return Fail(TFileWriteStep::Create, errno);
    std::string before(std::min(static_cast<size_t>(st.st_size), bytes.size()), '\0');
    canRestore = canRestore && PReadAll(fd.Get(), before);
    auto restore = [&](int err) {
        if (canRestore && WriteAll(fd.Get(), before, 0) == 0 && ::ftruncate(fd.Get(), st.st_size) == 0)
            ::fsync(fd.Get());
        return Fail(TFileWriteStep::Write, err);
    };
    if (const int err = WriteAll(fd.Get(), bytes, 0))
        return restore(err);
    if (::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.Get()) != 0)
        return restore(errno);
    if (const int err = fd.Close())
        return Fail(TFileWriteStep::Write, err);
    return std::nullopt;
}

TResult AppendWhole(const std::string &path, std::string_view bytes) {
    TFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0)
        return Fail(TFileWriteStep::Create, errno);
    int err = WriteAll(fd.Get(), bytes);
    if (err == 0 && ::fsync(fd.Get()) != 0)
        err = errno;
    if (err != 0) {
        // All the lines or none: the partial tail goes.
        if (::ftruncate(fd.Get(), st.st_size) == 0)
            ::fsync(fd.Get());
        return Fail(TFileWriteStep::Write, err);
    }
    if (const int closeErr = fd.Close()) {
        if (::truncate(path.c_str(), st.st_size) != 0) {
            // Nothing more can be done; the error below is still reported.
        }
        return Fail(TFileWriteStep::Write, closeErr);
    }
    return std::nullopt;
}

} // namespace

std::optional<TFileWriteError> WriteWholeFile(const std::string &path, std::string_view bytes,
                                              TFileWriteMode mode) {
    const int streamFlags = mode == TFileWriteMode::Append ? O_APPEND : O_TRUNC;
    // A name ending in "/" names a folder: the open gives its own error.
    if (path.empty() || path.back() == '/')
        return WriteStream(path, bytes, streamFlags);
    std::string target = path;
    int err = 0;
    if (!ResolveLinks(target, err))
        return Fail(TFileWriteStep::Create, err);
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return WriteStream(path, bytes, streamFlags);
        TResult result;
        ReplaceByRename(target, bytes, nullptr, result);
        return result;
    }
    if (!S_ISREG(st.st_mode))
        return WriteStream(path, bytes, streamFlags);
    if (mode == TFileWriteMode::Append)
        return AppendWhole(target, bytes);
    // A file the user may not write stays refused, even though its folder
    // would take a replacement.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(TFileWriteStep::Create, errno);
    // More names than one: all of them must see the new content.
    if (st.st_nlink == 1) {
        TResult result;
        if (ReplaceByRename(target, bytes, &st, result) != TRenameOutcome::NeedsInPlace)
            return result;
    }
    return OverwriteInPlace(target, bytes);
}
