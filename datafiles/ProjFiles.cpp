#include "datafiles/ProjFiles.h"

#include <vector>

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "platform/IntConvert.h"
#include "state/VltContext.h"

namespace {

// The element's text from its first "<", or empty when the line has none.
std::string FromFirstAngle(const std::string &line) {
    const size_t lt = line.find('<');
    return lt == std::string::npos ? std::string() : line.substr(lt);
}

// Texts between a double quote and the next one (or the end of the line).
std::vector<std::string> QuotedValues(const std::string &text, size_t wanted) {
    std::vector<std::string> values;
    size_t i = text.find('"');
    while (i != std::string::npos && values.size() < wanted) {
        const size_t close = text.find('"', i + 1);
        values.push_back(text.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1));
        if (close == std::string::npos)
            break;
        i = text.find('"', close + 1);
    }
    return values;
}

} // namespace

bool ParseProjRegLine(VltContext &ctx, const std::string &text) {
    const auto values = QuotedValues(text, 3);
    if (values.size() < 3)
        return true; // not a whole element: ignored
    const auto reg = static_cast<uint8_t>(StrToInt(values[0]));
    const auto value = static_cast<uint32_t>(StrToInt(values[1]));
    const char c = values[2].empty() ? '\0' : values[2][0];
    const int n = (c >= '1' && c <= '9') ? c - '0' : 0;
    if (n == 0)
        return true;
    const uint32_t p = ctx.DataEndIndex;
    const uint32_t size = n == 1 ? 3 : 6;
    if (!FitsDataBuffer(p, size))
        return false;
    ++ctx.RecordCount;
    const auto r = static_cast<uint8_t>(reg | 0x20);
    auto &buf = ctx.DataBuffer;
    if (n == 1) {
        buf[p] = r;
        buf[p + 1] = 1;
        buf[p + 2] = static_cast<uint8_t>(value);
    } else {
        buf[p] = r;
        buf[p + 1] = 1;
        buf[p + 2] = static_cast<uint8_t>(value >> 8);
        buf[p + 3] = static_cast<uint8_t>(r + 1);
        buf[p + 4] = 1;
        buf[p + 5] = static_cast<uint8_t>(value);
    }
    ctx.DataEndIndex = p + size;
    return true;
}

void ParseProjFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    ctx.DataEndIndex = 0;
    ctx.RecordCount = 0;
    std::string line;
    bool inGlobal = false;
    while (!inGlobal && NextDataLine(ctx, file, line))
        inGlobal = StartsWith(FromFirstAngle(line), "<Global>");
    while (inGlobal && NextDataLine(ctx, file, line)) {
        const std::string text = FromFirstAngle(line);
        if (StartsWith(text, "<Reg")) {
            if (!ParseProjRegLine(ctx, text)) {
                ShowFileFormatError(ctx, line);
                break;
            }
        } else if (StartsWith(text, "</Global>")) {
            break;
        }
    }
}
