#include "datafiles/TextFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/Errors.h"

std::string FileErrorText(const char *what, const std::string &fileName) {
    const int err = errno;
    std::string text = std::string(what) + " \"" + fileName + "\"";
    if (err != 0)
        text += ": " + std::string(std::strerror(err));
    return text;
}

void RequireRegularFile(const std::string &fileName) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::status(fileName, ec).type();
    if (type == fs::file_type::regular)
        return;
    errno = type == fs::file_type::not_found || type == fs::file_type::none ? ENOENT
            : type == fs::file_type::directory                              ? EISDIR
                                                                            : EINVAL;
    throw EInOutError(FileErrorText("Cannot open file", fileName));
}

TTextFileReader::TTextFileReader(const std::string &fileName) : Name(fileName) {
    errno = 0;
    RequireRegularFile(fileName);
    In.open(fileName, std::ios::binary);
    if (!In)
        throw EInOutError(FileErrorText("Cannot open file", fileName));
    SkipByteOrderMark();
}

void TTextFileReader::SkipByteOrderMark() {
    static constexpr char kMark[] = "\xEF\xBB\xBF";
    std::streambuf *sb = In.rdbuf();
    try {
        char head[3] = {};
        if (sb->sgetn(head, 3) == 3 && std::equal(head, head + 3, kMark))
            return;
        if (sb->pubseekpos(0, std::ios::in) != std::streampos(0))
            throw EInOutError(FileErrorText("Cannot read file", Name));
    } catch (const std::ios_base::failure &) {
        throw EInOutError(FileErrorText("Cannot read file", Name));
    }
}

bool TTextFileReader::ReadLine(std::string &line) {
    line.clear();
    TooLong = false;
    std::streambuf *sb = In.rdbuf();
    // The buffer reports a failed read by throwing, not by a stream state.
    try {
        int c = sb->sbumpc();
        if (c == std::char_traits<char>::eof())
            return false;
        while (c != std::char_traits<char>::eof() && c != '\n' && c != '\r') {
            if (line.size() < kMaxLineLength)
                line.push_back(static_cast<char>(c));
            else
                TooLong = true;
            c = sb->sbumpc();
        }
        if (c == '\r' && sb->sgetc() == '\n')
            sb->sbumpc();
    } catch (const std::ios_base::failure &) {
        throw EInOutError(FileErrorText("Cannot read file", Name));
    }
    return true;
}
