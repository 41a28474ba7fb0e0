#include "rhb/PelmorRHB.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr size_t kImageSize = 65536;
// ':' + count, address (2), type, 255 data bytes and the checksum as hex pairs.
constexpr size_t kMaxRecordChars = 1 + 2 * (1 + 2 + 1 + 255 + 1);

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Reads one line without its end (LF, CR LF or CR). Characters beyond the
// longest possible record are counted but not kept. Returns false at the end
// of the file when nothing was read.
bool ReadLine(FILE *f, std::array<char, kMaxRecordChars + 1> &line, size_t &len, bool &tooLong) {
    len = 0;
    tooLong = false;
    int c = std::fgetc(f);
    if (c == EOF)
        return false;
    while (c != EOF && c != '\n' && c != '\r') {
        if (len < line.size())
            line[len++] = static_cast<char>(c);
        else
            tooLong = true;
        c = std::fgetc(f);
    }
    if (c == '\r') {
        int next = std::fgetc(f);
        if (next != '\n' && next != EOF)
            std::ungetc(next, f);
    }
    while (len > 0 && IsBlank(line[len - 1]))
        --len;
    return true;
}

// A UTF-8 byte-order mark at the start of the file is no part of a record.
void SkipByteOrderMark(FILE *f) {
    static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
    unsigned char head[3] = {};
    if (std::fread(head, 1, 3, f) != 3 || std::memcmp(head, kMark, 3) != 0)
        std::rewind(f);
}

struct Loader {
    std::vector<unsigned char> Image;
    uint32_t SegmentBase = 0; // extended segment address x 16
    uint32_t LinearBase = 0;  // extended linear address << 16
    bool Linear = false;      // which of the two the last address record set
    int32_t Stored = 0;
    bool Ended = false; // the end-of-file record was read

    // One record line; returns a result code.
    int Record(const char *text, size_t len) {
        if (len < 11 || text[0] != ':' || (len - 1) % 2 != 0)
            return RHB_MALFORMED_RECORD;
        std::array<uint8_t, 1 + 2 + 1 + 255 + 1> bytes{};
        const size_t n = (len - 1) / 2;
        if (n > bytes.size())
            return RHB_MALFORMED_RECORD;
        for (size_t i = 0; i < n; ++i) {
            const int hi = HexDigit(text[1 + 2 * i]);
            const int lo = HexDigit(text[2 + 2 * i]);
            if (hi < 0 || lo < 0)
                return RHB_MALFORMED_RECORD;
            bytes[i] = static_cast<uint8_t>(hi * 16 + lo);
        }
        const size_t count = bytes[0];
        if (n != count + 5) // shorter is a truncated record, longer is junk
            return RHB_MALFORMED_RECORD;
        uint8_t sum = 0;
        for (size_t i = 0; i < n; ++i)
            sum = static_cast<uint8_t>(sum + bytes[i]);
        if (sum != 0)
            return RHB_BAD_CHECKSUM;
        const uint32_t offset = static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
        const uint8_t type = bytes[3];
        const uint8_t *data = &bytes[4];
        switch (type) {
        case 0x00:
            // A record that runs past 0xFFFF goes on upwards, out of the image, in
            // every addressing mode: wrapping would overwrite earlier data.
            for (size_t i = 0; i < count; ++i) {
                const uint64_t addr = uint64_t{Linear ? LinearBase : SegmentBase} + offset + i;
                if (addr < kImageSize) {
                    Image[addr] = data[i];
                    ++Stored;
                }
            }
            return RHB_OK;
        case 0x01:
            Ended = true;
            return count == 0 ? RHB_OK : RHB_MALFORMED_RECORD;
        case 0x02:
            if (count != 2)
                return RHB_MALFORMED_RECORD;
            SegmentBase = (static_cast<uint32_t>(data[0]) << 8 | data[1]) << 4;
            Linear = false;
            return RHB_OK;
        case 0x04:
            if (count != 2)
                return RHB_MALFORMED_RECORD;
            LinearBase = (static_cast<uint32_t>(data[0]) << 8 | data[1]) << 16;
            Linear = true;
            return RHB_OK;
        case 0x03:
        case 0x05:
            // Start addresses mean nothing for a chip image.
            return count == 4 ? RHB_OK : RHB_MALFORMED_RECORD;
        default:
            return RHB_UNSUPPORTED_RECORD;
        }
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) int
DoOpenFile_HEX_Routine(const char *FileName, unsigned char *Buffer, int32_t *Out1, int32_t *Out2) {
    int32_t line = 0;
    auto finish = [&](int code, int32_t stored) {
        if (Out1)
            *Out1 = code == RHB_OK ? 0 : line;
        if (Out2)
            *Out2 = stored;
        return code;
    };
    if (!FileName || !Buffer)
        return finish(RHB_UNREADABLE_FILE, 0);
    // Only a regular file ends: a device or a pipe could feed one line forever
    // (or, for a pipe, block the open).
    struct stat st {};
    if (stat(FileName, &st) != 0 || !S_ISREG(st.st_mode))
        return finish(RHB_UNREADABLE_FILE, 0);
    std::unique_ptr<FILE, FileCloser> f(std::fopen(FileName, "rb"));
    if (!f)
        return finish(RHB_UNREADABLE_FILE, 0);

    // Work on a copy so that a rejected file leaves the caller's buffer as it was.
    Loader ld;
    ld.Image.assign(Buffer, Buffer + kImageSize);
    SkipByteOrderMark(f.get());
    std::array<char, kMaxRecordChars + 1> text{};
    size_t len = 0;
    bool tooLong = false;
    while (!ld.Ended && ReadLine(f.get(), text, len, tooLong)) {
        ++line;
        if (len == 0 && !tooLong)
            continue;
        if (tooLong)
            return finish(RHB_MALFORMED_RECORD, 0);
        const int code = ld.Record(text.data(), len);
        if (code != RHB_OK)
            return finish(code, 0);
    }
    if (std::ferror(f.get()))
        return finish(RHB_UNREADABLE_FILE, 0);
    if (!ld.Ended) {
        ++line; // where the end-of-file record was due
        return finish(RHB_NO_END_RECORD, 0);
    }
    std::memcpy(Buffer, ld.Image.data(), kImageSize);
    return finish(RHB_OK, ld.Stored);
}
