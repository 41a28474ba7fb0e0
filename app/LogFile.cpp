#include "app/LogFile.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "platform/Errors.h"
#include "platform/FileWrite.h"
#include "protocol/VltContext.h"
#include "serial/Comm.h"

namespace {

constexpr const char *kAppendHeader = "Corvane Log File!";
// More panel lines than this are needed before a log gets the automatic name.
constexpr size_t kAutoLogMinLines = 6;

[[noreturn]] void ThrowWriteError(const std::string &path, const TFileWriteError &e) {
    const std::string what = e.Step == TFileWriteStep::Create ? "Cannot create file \"" : "Write error on \"";
    throw EInOutError(what + path + "\". " + std::strerror(e.Errno));
}

// Every line ended by CR LF.
void AppendCrLfLines(std::string &text, const std::vector<std::string> &lines) {
    for (const auto &line : lines) {
        // A break inside a line (a file name may hold one) becomes a CR LF too.
        size_t from = 0;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '\r' && line[i] != '\n')
                continue;
            text.append(line, from, i - from);
            text += "\r\n";
            if (line[i] == '\r' && i + 1 < line.size() && line[i + 1] == '\n')
                ++i;
            from = i + 1;
        }
        text.append(line, from);
        text += "\r\n";
    }
}

void WriteOrThrow(const std::string &path, const std::string &text, TFileWriteMode mode) {
    if (const auto err = WriteWholeFile(path, text, mode))
        ThrowWriteError(path, *err);
}

std::string Underscored(std::string s) {
    for (char &c : s)
        if (c == '-' || c == '/' || c == ':')
            c = '_';
    return s;
}

} // namespace

void SaveLinesToFile(const std::string &path, const std::vector<std::string> &lines) {
    std::string text;
    AppendCrLfLines(text, lines);
    WriteOrThrow(path, text, TFileWriteMode::Replace);
}

void AppendLinesToFile(const std::string &path, const std::vector<std::string> &lines) {
    // Only a new file gets the header.
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    std::string text;
    if (!exists)
        AppendCrLfLines(text, {kAppendHeader});
    AppendCrLfLines(text, lines);
    WriteOrThrow(path, text, TFileWriteMode::Append);
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
