#include "platform/FileLocation.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <vector>

namespace {

// The kernel's own limit of links followed in one name.
constexpr int kMaxLinks = 40;

TFd OpenRoot() {
    return TFd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

} // namespace

bool StickyFolderLets(const struct stat &folder, const struct stat &object) {
    const bool link = S_ISLNK(object.st_mode);
    if (!link && !S_ISREG(object.st_mode) && !S_ISFIFO(object.st_mode))
        return true;
    // Links as protected_symlinks has them; files and FIFOs as the strictest
    // protected_regular and protected_fifos, which cover a folder that only
    // its group may write too.
    const mode_t shared = link ? S_IWOTH : S_IWOTH | S_IWGRP;
    if (!(folder.st_mode & S_ISVTX) || !(folder.st_mode & shared))
        return true;
    // A second name may lead to a file anywhere, whoever owns it.
    if (S_ISREG(object.st_mode) && object.st_nlink > 1)
        return false;
    return object.st_uid == ::geteuid() || object.st_uid == folder.st_uid;
}

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
    TFd folder(path.front() == '/' ? OpenRoot() : TFd(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)));
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
        struct stat folderSt {};
        if (::fstat(object.Get(), &st) != 0 || ::fstat(folder.Get(), &folderSt) != 0) {
            err = errno;
            return false;
        }
        const bool last = pending.empty() && !S_ISLNK(st.st_mode);
        if ((S_ISLNK(st.st_mode) || last) && !StickyFolderLets(folderSt, st)) {
            err = EACCES;
            return false;
        }
        if (S_ISLNK(st.st_mode)) {
            if (++links > kMaxLinks) {
                err = ELOOP;
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
                folder = OpenRoot();
                if (folder.Get() < 0) {
                    err = errno;
                    return false;
                }
            }
            pushNames(target);
            continue;
        }
        if (last) {
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

TAttempt OpenLocated(const TLocation &at, int flags, TFd &fd, struct stat &st) {
    fd = TFd(
        ::openat(at.Folder.Get(), at.Name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // ENOENT: gone; ELOOP: now a link.
    if (fd.Get() < 0)
        return errno == ENOENT || errno == ELOOP ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    if (::fstat(fd.Get(), &st) != 0)
        return Finish(Fail(TFileWriteStep::Create, errno));
    if (!SameFile(st, at.St))
        return Retry();
    return Finish(std::nullopt);
}

void SyncFolder(const TLocation &at) {
    TFd fd(::openat(at.Folder.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}
