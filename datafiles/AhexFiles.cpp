#include "datafiles/AhexFiles.h"

#include <algorithm>

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "state/VltContext.h"

namespace {

uint16_t HexField(const std::string &line, size_t from, size_t to) {
    uint16_t v = 0;
    for (size_t i = from; i < to; ++i) {
        const char c = line[i];
        if (IsBlank(c))
            continue;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return 0;
        v = static_cast<uint16_t>(v * 16 + d);
    }
    return v;
}

void PutU16At(VltContext &ctx, uint32_t at, uint16_t v) {
    ctx.DataBuffer[at] = static_cast<uint8_t>(v);
    ctx.DataBuffer[at + 1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

uint16_t AhexLineAddress(const std::string &line) {
    const size_t colon = line.find(':');
    return HexField(line, 0, colon == std::string::npos ? line.size() : colon);
}

uint16_t AhexLineData(const std::string &line) {
    const size_t colon = line.find(':');
    return colon == std::string::npos ? 0 : HexField(line, colon + 1, line.size());
}

void ParseAhexFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    uint16_t blockStart = 0xFFFF;
    uint16_t lastAddr = 0;
    uint16_t blockWords = 0;
    uint32_t dataPos = kAhexTableSize;
    uint32_t tablePos = 0;
    ctx.RecordCount = 0;
    auto closeBlock = [&] {
        ++ctx.RecordCount;
        PutU16At(ctx, tablePos, blockStart);
        PutU16At(ctx, tablePos + 2, blockWords);
        PutU16At(ctx, tablePos + 4, static_cast<uint16_t>(dataPos));
        PutU16At(ctx, tablePos + 6, 0);
    };
    std::string line;
    while (NextDataLine(ctx, file, line)) {
        if (line.size() < 5)
            continue;
        const uint16_t a = AhexLineAddress(line);
        const uint16_t d = AhexLineData(line);
        blockStart = std::min(blockStart, a);
        if (a > uint32_t{lastAddr} + 2) {
            if (blockWords > 0) {
                closeBlock();
                tablePos += kAhexHeaderSize;
                dataPos += 2u * blockWords + 8;
                blockWords = 0;
                if (tablePos >= kAhexTableSize) {
                    ShowFileFormatError(ctx, line); // no header left for this block
                    dataPos -= 8;                   // the data end is that of the last block
                    break;
                }
            }
            blockWords = 0;
            blockStart = a;
        }
        if (blockWords >= kAhexMaxBlockWords || !FitsDataBuffer(dataPos + 2u * blockWords, 2)) {
            ShowFileFormatError(ctx, line);
            break;
        }
        lastAddr = a;
        PutU16At(ctx, dataPos + 2u * blockWords, d);
        ++blockWords;
    }
    if (blockWords > 0)
        closeBlock();
    ctx.DataEndIndex = dataPos + 2u * blockWords;
}
