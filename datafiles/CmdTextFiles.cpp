#include "datafiles/CmdTextFiles.h"

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "platform/IntConvert.h"
#include "state/VltContext.h"

namespace {
constexpr uint32_t kCmdRecordSize = 8;
}

void ParseCmdTxtFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    auto &buf = ctx.DataBuffer;
    uint32_t p = 0;
    ctx.RecordCount = 0;
    std::string line;
    while (NextDataLine(ctx, file, line)) {
        if (line.size() < 10)
            continue;
        size_t col = 1;
        const std::string a = NextToken(line, col);
        if (UpperAscii(a) == "DEVICE")
            continue; // heading
        if (!IsHexLiteral(a)) {
            ShowFileFormatError(ctx, line);
            break;
        }
        ctx.DeviceAddress = static_cast<uint8_t>(StrToInt(a));
        const std::string b = NextToken(line, col);
        // A record that would run past the buffer is refused like a bad line.
        if (!IsHexLiteral(b) || !FitsDataBuffer(p, kCmdRecordSize)) {
            ShowFileFormatError(ctx, line);
            break;
        }
        buf[p++] = static_cast<uint8_t>(StrToInt(b));
        ++ctx.RecordCount;
        NextTabField(line, col); // the command's name
        const std::string len = NextToken(line, col);
        if (len.empty() || len[0] < '0' || len[0] > '9') {
            ShowFileFormatError(ctx, line);
            break;
        }
        buf[p++] = static_cast<uint8_t>(StrToInt(len));
        NextToken(line, col); // read/write column, not used
        bool complete = true;
        for (int i = 0; i < 3 && complete; ++i) {
            const std::string w = NextToken(line, col);
            if (w.empty()) {
                buf[p++] = 0xFF;
                buf[p++] = 0xFF;
            } else if (IsHexLiteral(w)) {
                const auto v = static_cast<uint32_t>(StrToInt(w));
                buf[p++] = static_cast<uint8_t>(v);
                buf[p++] = static_cast<uint8_t>(v >> 8);
            } else {
                // The short record stays as it is; the next line goes on from here.
                ShowFileFormatError(ctx, line);
                complete = false;
            }
        }
        if (complete)
            ctx.ChecksumEnd = p;
    }
    ctx.ChecksumEnd |= 0x0F;
}
