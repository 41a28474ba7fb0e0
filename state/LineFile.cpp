#include "state/LineFile.h"

#include <cstring>

#include "platform/Errors.h"
#include "platform/FileWrite.h"

namespace {

constexpr const char *kAppendHeader = "Corvane Log File!";

[[noreturn]] void ThrowWriteError(const std::string &path, const TFileWriteError &e) {
    const std::string what = e.Step == TFileWriteStep::Create ? "Cannot create file \"" : "Write error on \"";
    std::string text = what + path + "\". " + std::strerror(e.Errno);
    if (const std::string_view note = FileWriteNoteText(e.Note); !note.empty())
        text.append(" ").append(note);
    throw ELineFileError(text, path, e.Errno, e.Note);
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

} // namespace

void SaveLinesToFile(const std::string &path, const std::vector<std::string> &lines) {
    std::string text;
    AppendCrLfLines(text, lines);
    if (const auto err = WriteWholeFile(path, text, TFileWriteMode::Replace))
        ThrowWriteError(path, *err);
}

void AppendLinesToFile(const std::string &path, const std::vector<std::string> &lines) {
    // The header goes first into a file that holds nothing yet; the writer
    // decides that under the file's lock, so two appends never both write it.
    std::string header, text;
    AppendCrLfLines(header, {kAppendHeader});
    AppendCrLfLines(text, lines);
    if (const auto err = AppendWholeFile(path, header, text))
        ThrowWriteError(path, *err);
}
