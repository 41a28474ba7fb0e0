#include "datafiles/CArrayFiles.h"

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "platform/IntConvert.h"
#include "state/VltContext.h"

namespace {
constexpr uint32_t kArrayRecordSize = 8;
}

void ParseCArrayFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    auto &buf = ctx.DataBuffer;
    std::string line;
    // The first non-empty line is the array's declaration.
    bool more = false;
    while ((more = NextDataLine(ctx, file, line)) && line.empty()) {
    }
    uint32_t p = 0;
    ctx.RecordCount = 0;
    while (more && NextDataLine(ctx, file, line)) {
        if (line.empty() || line[0] == '/' || line[0] == '{')
            continue;
        if (line[0] == '}')
            break;
        size_t col = 1;
        const std::string t1 = NextToken(line, col);
        if (StartsWith(t1, "}"))
            break;
        if (!IsHexLiteral(t1) || !FitsDataBuffer(p, kArrayRecordSize)) {
            ShowFileFormatError(ctx, line);
            break;
        }
        buf[p++] = static_cast<uint8_t>(StrToInt(t1));
        ++ctx.RecordCount;
        const std::string t2 = NextToken(line, col);
        if (StartsWith(t2, "}"))
            break;
        if (!IsHexLiteral(t2)) {
            ShowFileFormatError(ctx, line);
            break;
        }
        buf[p++] = static_cast<uint8_t>(StrToInt(t2));
        bool complete = true;
        for (int i = 0; i < 6 && complete; ++i) {
            const std::string t = NextToken(line, col);
            if (t.empty())
                buf[p++] = 0xFF;
            else if (IsHexLiteral(t))
                buf[p++] = static_cast<uint8_t>(StrToInt(t));
            else {
                ShowFileFormatError(ctx, line);
                complete = false;
            }
        }
        if (complete)
            ctx.ChecksumEnd = p;
    }
    ctx.ChecksumEnd |= 0x0F;
}
