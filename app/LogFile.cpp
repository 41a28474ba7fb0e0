#include "app/LogFile.h"

#include <cstring>

#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "serial/Comm.h"
#include "state/LineFile.h"
#include "state/VltContext.h"

namespace {

// More panel lines than this are needed before a log gets the automatic name.
constexpr size_t kAutoLogMinLines = 6;

std::string Underscored(std::string s) {
    for (char &c : s)
        if (c == '-' || c == '/' || c == ':')
            c = '_';
    return s;
}

} // namespace

std::string AutomaticLogName(TClock &clock) {
    const std::string date = clock.DateText();
    const std::string time = clock.TimeText();
    // Only the date and time are rewritten: the folder separator stays.
    return "Log/" + Underscored("VLT_" + date + "_" + time);
}

namespace {

// A name without a folder, or with a relative one, is taken in the program's
// folder, as the automatic names are, not wherever the program was started.
std::string InProgramDir(const VltContext &ctx, const std::string &name) {
    return name.front() == '/' ? name : ctx.ProgramDir + name;
}

// The box of a log with the automatic name that could not be written: which
// file and why, below the line the operator knows.
std::string WriteLogFileError(const std::string &file, const std::exception &e) {
    const auto *failed = dynamic_cast<const ELineFileError *>(&e);
    std::string reason = failed ? std::strerror(failed->Error()) : e.what();
    if (failed && failed->Note() != TFileWriteNote::None)
        reason.append(" ").append(FileWriteNoteText(failed->Note()));
    return "Write Log File error!\n" + file + "\n" + reason;
}

// The log as the log dialog says; false when the automatic name's file could
// not be written (the box said so). Throws when the operator's file cannot be
// written.
bool WriteCloseLog(VltContext &ctx) {
    const TLogCfgForm &cfg = ctx.Form->LogCfgForm;
    if (!cfg.LogEnabled())
        return true;
    const auto &lines = ctx.Form->InfoMemo.Lines;
    if (cfg.AutoLogName()) {
        const std::string file = InProgramDir(ctx, AutomaticLogName(*ctx.Clock) + ".log");
        if (lines.size() <= kAutoLogMinLines)
            return true;
        try {
            SaveLinesToFile(file, lines);
        } catch (const std::exception &e) {
            ctx.Dialogs->Message(WriteLogFileError(file, e));
            return false;
        }
        return true;
    }
    const std::string name = cfg.GetLogFileName();
    if (name.empty())
        return true;
    const std::string file = InProgramDir(ctx, name);
    switch (cfg.LogWriteMode()) {
    case 0: // new file
    case 1: // overwrite
        SaveLinesToFile(file, lines);
        break;
    case 2:
        AppendLinesToFile(file, lines);
        break;
    default:
        break;
    }
    return true;
}

} // namespace

bool FormClose(VltContext &ctx) {
    // The ports close only once the log is written: after a failed log the
    // window stays open with its channels working as before, and nothing of
    // the panel is lost.
    ctx.LogAtCloseRunning = true;
    bool written = false;
    try {
        written = WriteCloseLog(ctx);
    } catch (...) {
        ctx.LogAtCloseRunning = false;
        throw;
    }
    ctx.LogAtCloseRunning = false;
    if (!written)
        return false;
    for (TComm *comm : ctx.ChannelComm)
        if (comm && comm->IsOpen())
            comm->ClosePort();
    return true;
}

void SaveInfotoFile1Click(VltContext &ctx) {
    TFileDialog &dlg = ctx.Form->SaveDialogPrj;
    dlg.DefaultExt = "*.log";
    dlg.Filter = "All Log Files(*.Log)|*.log";
    if (auto path = ctx.Dialogs->SaveFile(dlg))
        SaveLinesToFile(*path, ctx.Form->InfoMemo.Lines);
}
