// A missing file: written whole where nobody sees it and given its name only
// when complete, so that it never replaces a file that appeared meanwhile.
#include <fcntl.h>
#include <unistd.h>

#include "platform/FileAttributes.h"
#include "platform/FileWriteWays.h"
#include "platform/TempFile.h"

namespace {

// The content, the new file's mode, and all of it on disk.
TFileWriteResult Fill(int fd, int folder, const TFileWriteJob &job) {
    int err = WriteAll(fd, job.Header);
    if (err == 0)
        err = WriteAll(fd, job.Bytes);
    if (err != 0)
        return Fail(TFileWriteStep::Write, err);
    if ((err = DressAsNew(fd, folder)))
        return Fail(TFileWriteStep::Create, err);
    if (::fsync(fd) != 0)
        return Fail(TFileWriteStep::Write, errno);
    return std::nullopt;
}

// A folder whose file system can neither rename without replacing nor link:
// the file is created under its own name, and removed again when the write
// fails (what another writer appended meanwhile stays).
TAttempt CreateDirectly(const TLocation &at, const TFileWriteJob &job) {
    TFd fd(::openat(at.Folder.Get(), at.Name.c_str(),
                    O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.Get() < 0)
        return errno == EEXIST ? Retry() : Finish(Fail(TFileWriteStep::Create, errno));
    struct stat st {};
    int err = LockFile(fd.Get(), job.Wait);
    if (err == 0 && ::fstat(fd.Get(), &st) != 0)
        err = errno;
    size_t added = 0, more = 0;
    if (err == 0 && st.st_size == 0)
        err = WriteAll(fd.Get(), job.Header, -1, &added);
    if (err == 0)
        err = WriteAll(fd.Get(), job.Bytes, -1, &more);
    added += more;
    if (err == 0 && ::fsync(fd.Get()) != 0)
        err = errno;
    if (err != 0) {
        struct stat now {};
        // Only this write's bytes in it: the file goes; else they do.
        if (st.st_size == 0 && ::fstat(fd.Get(), &now) == 0 && now.st_size == static_cast<off_t>(added))
            ::unlinkat(at.Folder.Get(), at.Name.c_str(), 0);
        else
            CutBack(fd.Get(), st.st_size, added);
        return Finish(Fail(TFileWriteStep::Write, err));
    }
    if ((err = fd.Close()))
        return Finish(Fail(TFileWriteStep::Write, err));
    SyncFolder(at);
    return Finish(std::nullopt);
}

} // namespace

TAttempt PutNewFile(const TLocation &at, const TFileWriteJob &job) {
    for (const bool unnamed : {true, false}) {
        TTempFile temp(at, unnamed);
        if (temp.Error())
            return Finish(Fail(TFileWriteStep::Create, temp.Error()));
        if (auto failed = Fill(temp.Fd(), at.Folder.Get(), job))
            return Finish(failed);
        struct stat st {};
        int err = temp.Unnamed() ? (::fstat(temp.Fd(), &st) == 0 ? 0 : errno) : temp.Close();
        if (err != 0)
            return Finish(Fail(TFileWriteStep::Write, err));
        err = temp.PutNew();
        if (err == EEXIST)
            return Retry();
        if (err == TTempFile::kCannotLink) {
            if (temp.Unnamed())
                continue;
            return CreateDirectly(at, job);
        }
        if (err != 0)
            return Finish(Fail(TFileWriteStep::Create, err));
        // An unnamed file is closed only once named: a close that fails then
        // takes the name back, if it still shows this file.
        if (temp.Unnamed() && (err = temp.Close())) {
            struct stat named {};
            if (::fstatat(at.Folder.Get(), at.Name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                SameFile(named, st))
                ::unlinkat(at.Folder.Get(), at.Name.c_str(), 0);
            return Finish(Fail(TFileWriteStep::Write, err));
        }
        SyncFolder(at);
        return Finish(std::nullopt);
    }
    return Finish(Fail(TFileWriteStep::Create, ENOTSUP));
}
