#include "datafiles/BinFiles.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "datafiles/TextFileReader.h"
#include "platform/Errors.h"
#include "platform/FileWrite.h"
#include "state/VltContext.h"

namespace {

uint32_t SaveEnd(const VltContext &ctx) {
    return ctx.DataEndIndex == 0 ? 1023 : (ctx.DataEndIndex & 0xFFFF);
}

void SaveBytes(const uint8_t *data, uint32_t count, const std::string &fileName) {
    // Only a new or a regular file is written: a pipe would block the open,
    // a device would swallow the bytes.
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::status(fileName, ec).type();
    if (type != fs::file_type::not_found && type != fs::file_type::regular) {
        errno = type == fs::file_type::directory ? EISDIR : EINVAL;
        throw EInOutError(FileErrorText("Cannot create file", fileName));
    }
    const std::string_view bytes(reinterpret_cast<const char *>(data), count);
    if (const auto err = WriteWholeFile(fileName, bytes, TFileWriteMode::Replace)) {
        errno = err->Errno;
        std::string text = FileErrorText(
            err->Step == TFileWriteStep::Create ? "Cannot create file" : "Cannot write file", fileName);
        if (const std::string_view note = FileWriteNoteText(err->Note); !note.empty())
            text.append(" ").append(note);
        throw EInOutError(text);
    }
}

// Reads at most `limit` bytes (limit <= buffer size) into DataBuffer from 0;
// returns how many were read.
uint32_t ReadInto(VltContext &ctx, const std::string &fileName, uint32_t limit) {
    RequireRegularFile(fileName);
    errno = 0;
    std::ifstream in(fileName, std::ios::binary);
    if (!in.is_open())
        throw EInOutError(FileErrorText("Cannot open file", fileName));
    in.read(reinterpret_cast<char *>(ctx.DataBuffer.data()), limit);
    if (in.bad())
        throw EInOutError(FileErrorText("Cannot read file", fileName));
    return static_cast<uint32_t>(in.gcount());
}

} // namespace

void SaveBufferToBinFile(VltContext &ctx, const std::string &fileName) {
    SaveBytes(ctx.DataBuffer.data(), SaveEnd(ctx) + 1, fileName);
}

void SaveReadBufferToBinFile(VltContext &ctx, const std::string &fileName) {
    SaveBytes(ctx.ReadBuffer.data(), SaveEnd(ctx) + 1, fileName);
}

void LoadBinFile(VltContext &ctx, const std::string &fileName, uint16_t maxIndex) {
    ReadInto(ctx, fileName, uint32_t{maxIndex} + 1);
}

void LoadBinFileLen(VltContext &ctx, const std::string &fileName, uint32_t &endIndex) {
    // The buffer ends at index 65,535 whatever the caller asks for.
    const uint32_t last = endIndex > 0xFFFF ? 0xFFFF : endIndex;
    const uint32_t n = ReadInto(ctx, fileName, last + 1);
    // n is at most 65,536, so a file that fills the whole buffer ends at 65,535.
    endIndex = n - 1;
}

void LoadBin4K(VltContext &ctx, const std::string &fileName) {
    ReadInto(ctx, fileName, 4096);
    int last = 4095;
    while (last >= 0 && ctx.DataBuffer[static_cast<size_t>(last)] == 0)
        --last;
    ctx.RecordCount = last < 0 ? 0 : static_cast<uint16_t>(((last | 3) + 1) / 4);
}

uint16_t CountCmdRecords(const VltContext &ctx) {
    for (uint16_t n = 0; n < 512; ++n)
        if (ctx.DataBuffer[8u * n] == 0xFF)
            return n;
    return 512;
}
