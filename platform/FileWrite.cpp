// The file writer's entry: finds where the name leads and writes the bytes the
// way that file takes them, starting over when the name changed meanwhile.
#include "platform/FileWrite.h"

#include <fcntl.h>

#include "platform/FileWriteWays.h"

namespace {

// How often a name that keeps changing is tried before giving up.
constexpr int kAttempts = 8;

TAttempt WriteOnce(const TLocation &at, const TFileWriteJob &job) {
    if (at.Object.Get() < 0)
        return PutNewFile(at, job);
    if (!S_ISREG(at.St.st_mode))
        return WriteStream(at, job);
    if (job.Mode == TFileWriteMode::Append)
        return AppendToFile(at, job);
    return ReplaceFile(at, job);
}

// A name ending in "/" names a folder, an empty one nothing: the open gives
// its own error.
TFileWriteResult OpenError(const std::string &path, TFileWriteMode mode) {
    const int flags = mode == TFileWriteMode::Append ? O_APPEND : O_TRUNC;
    TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0666));
    return Fail(TFileWriteStep::Create, fd.Get() < 0 ? errno : EISDIR);
}

} // namespace

TFileWriteResult WriteFileWith(const std::string &path, const TFileWriteJob &job) {
    if (path.empty() || path.back() == '/')
        return OpenError(path, job.Mode);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        TLocation at;
        int err = 0;
        if (!Locate(path, at, err))
            return Fail(TFileWriteStep::Create, err);
        TAttempt done = WriteOnce(at, job);
        if (!done.Retry)
            return done.Result;
    }
    return Fail(TFileWriteStep::Create, EAGAIN);
}

std::optional<TFileWriteError> WriteWholeFile(const std::string &path, std::string_view bytes,
                                              TFileWriteMode mode) {
    return WriteFileWith(path, {bytes, mode, {}, SystemFileWait()});
}

std::optional<TFileWriteError> AppendWholeFile(const std::string &path, std::string_view header,
                                               std::string_view bytes) {
    return WriteFileWith(path, {bytes, TFileWriteMode::Append, header, SystemFileWait()});
}

std::string_view FileWriteNoteText(TFileWriteNote note) {
    switch (note) {
    case TFileWriteNote::None:
        break;
    case TFileWriteNote::OldContentNotKept:
        return "The file can only be written in place, and its old content cannot be kept to put back "
               "if that fails: it was left as it was.";
    case TFileWriteNote::NotPutBack:
        return "The file could not be put back as it was.";
    }
    return "";
}
