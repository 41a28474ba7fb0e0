#include "state/LineFile.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Errors.h"
#include "platform/FileWrite.h"

namespace {

constexpr const char *kAppendHeader = "Corvane Log File!";

[[noreturn]] void ThrowWriteError(const std::string &path, const TFileWriteError &e) {
    const std::string what = e.Step == TFileWriteStep::Create ? "Cannot create file \"" : "Write error on \"";
    throw ELineFileError(what + path + "\". " + std::strerror(e.Errno), path, e.Errno);
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
