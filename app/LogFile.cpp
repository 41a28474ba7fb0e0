#include "app/LogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "protocol/VltContext.h"
#include "serial/Comm.h"

namespace {

constexpr const char *kAppendHeader = "Corvane Log File!";
// More panel lines than this are needed before a log gets the automatic name.
constexpr size_t kAutoLogMinLines = 6;

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void ThrowCannotCreate(const std::string &path, int err) {
    throw EInOutError("Cannot create file \"" + path + "\". " + std::strerror(err));
}

// The open itself never waits: a named pipe nobody reads fails at once
// instead of holding the window until a reader turns up.
FilePtr OpenOrThrow(const std::string &path, int flags, const char *mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | flags, 0666);
    if (fd < 0)
        ThrowCannotCreate(path, errno);
    // Writes may wait as usual once the file is open.
    const int fl = ::fcntl(fd, F_GETFL);
    if (fl >= 0)
        ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
    std::FILE *f = ::fdopen(fd, mode);
    if (!f) {
        const int err = errno;
        ::close(fd);
        ThrowCannotCreate(path, err);
    }
    return FilePtr(f);
}

void WriteLines(std::FILE *f, const std::string &path, const std::vector<std::string> &lines) {
    auto put = [&](const char *p, size_t n) {
        if (std::fwrite(p, 1, n, f) != n)
            throw EInOutError("Write error on \"" + path + "\". " + std::strerror(errno));
    };
    for (const auto &line : lines) {
        // A break inside a line (a file name may hold one) becomes a CR LF too.
        size_t from = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '\r' && line[i] != '\n')
                continue;
            put(line.data() + from, i - from);
            put("\r\n", 2);
            if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n')
                ++i;
            from = i + 1;
        }
        put(line.data() + from, line.size() - from);
        put("\r\n", 2);
    }
}

void CloseOrThrow(FilePtr f, const std::string &path) {
    // A full disk may only show when the buffered rest is written out.
    if (std::fclose(f.release()) != 0)
        throw EInOutError("Write error on \"" + path + "\". " + std::strerror(errno));
}

std::string Underscored(std::string s) {
    for (char &c : s)
        if (c == '-' || c == '/' || c == ':')
            c = '_';
    return s;
}

} // namespace

void SaveLinesToFile(const std::string &path, const std::vector<std::string> &lines) {
    FilePtr f = OpenOrThrow(path, O_TRUNC, "wb");
    WriteLines(f.get(), path, lines);
    CloseOrThrow(std::move(f), path);
}

void AppendLinesToFile(const std::string &path, const std::vector<std::string> &lines) {
    // Opening creates a missing file; look first so only a new file gets the header.
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    FilePtr f = OpenOrThrow(path, O_APPEND, "ab");
    if (!exists)
        WriteLines(f.get(), path, {kAppendHeader});
    WriteLines(f.get(), path, lines);
    CloseOrThrow(std::move(f), path);
}

std::string AutomaticLogName(TClock &clock) {
    const std::string date = clock.DateText();
    const std::string time = clock.TimeText();
    // Only the date and time are rewritten: the folder separator stays.
    return "Log/" + Underscored("VLT_" + date + "_" + time);
}

void FormClose(VltContext &ctx) {
    for (TComm *comm : ctx.ChannelComm)
        if (comm && comm->IsOpen())
            comm->ClosePort();

    const TLogCfgForm &cfg = ctx.Form->LogCfgForm;
    if (!cfg.LogEnabled())
        return;
    const auto &lines = ctx.Form->InfoMemo.Lines;
    if (cfg.AutoLogName()) {
        const std::string file = ctx.ProgramDir + AutomaticLogName(*ctx.Clock) + ".log";
        if (lines.size() <= kAutoLogMinLines)
            return;
        try {
            SaveLinesToFile(file, lines);
        } catch (const std::exception &) {
            ctx.Dialogs->Message("Write Log File error!");
        }
        return;
    }
    const std::string name = cfg.GetLogFileName();
    if (name.empty())
        return;
    switch (cfg.LogWriteMode()) {
    case 0: // new file
    case 1: // overwrite
        SaveLinesToFile(name, lines);
        break;
    case 2:
        AppendLinesToFile(name, lines);
        break;
    default:
        break;
    }
}

void SaveInfotoFile1Click(VltContext &ctx) {
    TFileDialog &dlg = ctx.Form->SaveDialogPrj;
    dlg.DefaultExt = "*.log";
    dlg.Filter = "All Log Files(*.Log)|*.log";
    if (auto path = ctx.Dialogs->SaveFile(dlg))
        SaveLinesToFile(*path, ctx.Form->InfoMemo.Lines);
}
