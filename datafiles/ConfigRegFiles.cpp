#include "datafiles/ConfigRegFiles.h"

#include "datafiles/FormatError.h"
#include "datafiles/TextFileReader.h"
#include "datafiles/TextTokens.h"
#include "platform/IntConvert.h"
#include "state/VltContext.h"

namespace {

constexpr uint32_t kConfigRecordSize = 4;
constexpr uint16_t kDefaultDelay = 30;

struct TSection {
    const char *Start;
    const char *End;
};
constexpr TSection kPreamble{"# START CONFIGURATION PREAMBLE", "# END CONFIGURATION PREAMBLE"};
constexpr TSection kRegisters{"# START CONFIGURATION REGISTERS", "# END CONFIGURATION REGISTERS"};
constexpr TSection kPostamble{"# START CONFIGURATION POSTAMBLE", "# END CONFIGURATION POSTAMBLE"};
constexpr const char *kDelay = "# DELAY";

bool Put(VltContext &ctx, uint32_t at, uint8_t v) {
    if (!FitsDataBuffer(at, 1))
        return false;
    ctx.DataBuffer[at] = v;
    return true;
}

// "# DELAY" then a number that a blank must end; otherwise the default stays.
void ReadDelay(VltContext &ctx, const std::string &t) {
    ctx.ConfigDelay = kDefaultDelay;
    size_t i = std::string_view(kDelay).size();
    while (i < t.size() && IsBlank(t[i]))
        ++i;
    const size_t from = i;
    while (i < t.size() && !IsBlank(t[i]))
        ++i;
    if (i >= t.size() || i == from)
        return;
    const auto v = static_cast<uint32_t>(StrToInt(t.substr(from, i - from)));
    ctx.ConfigDelay = static_cast<uint16_t>((v % 65536) / 10);
}

} // namespace

bool ParseConfigRegLine(VltContext &ctx, const std::string &line, uint32_t &pos, uint16_t &count) {
    uint32_t k = 0;
    bool haveAddress = false;
    std::string text;
    auto storeData = [&](const std::string &t, uint32_t v) {
        if (t.size() >= 5) {
            if (!Put(ctx, pos + 2 + k, static_cast<uint8_t>(v)) ||
                !Put(ctx, pos + 3 + k, static_cast<uint8_t>(v >> 8)))
                return false;
            k += 2;
        } else {
            if (!Put(ctx, pos + 2 + k, static_cast<uint8_t>(v)))
                return false;
            k += 1;
        }
        return true;
    };
    for (const char c : line) {
        if (IsBlank(c)) {
            if (!text.empty()) {
                const auto v = static_cast<uint32_t>(StrToInt(text));
                if (haveAddress && !storeData(text, v))
                    return false;
            }
            text.clear();
        } else if (c == ',') {
            const auto v = static_cast<uint32_t>(StrToInt(text));
            if (!haveAddress) {
                if (!Put(ctx, pos, static_cast<uint8_t>(v)) ||
                    !Put(ctx, pos + 1, static_cast<uint8_t>(v >> 8)))
                    return false;
                haveAddress = true;
            } else if (!storeData(text, v)) {
                return false;
            }
            text.clear();
        } else {
            text.push_back(c);
        }
    }
    if (haveAddress && !text.empty() && !storeData(text, static_cast<uint32_t>(StrToInt(text))))
        return false;
    if (haveAddress) {
        ++count;
        pos += kConfigRecordSize;
    }
    return true;
}

void ParseConfigRegFile(VltContext &ctx, const std::string &fileName) {
    TTextFileReader file(fileName);
    uint32_t p = 0;
    ctx.RecordCount = 0;
    ctx.PreambleCount = 0;
    ctx.PostambleCount = 0;
    ctx.ConfigDelay = 0;
    const TSection *section = nullptr;
    uint16_t *count = nullptr;
    std::string line;
    while (NextDataLine(ctx, file, line)) {
        if (line.size() < 5)
            continue;
        const std::string t = TrimUpper(line);
        if (section) {
            if (StartsWith(t, section->End))
                section = nullptr;
            else if (!StartsWith(t, "#") && !ParseConfigRegLine(ctx, t, p, *count)) {
                ShowFileFormatError(ctx, line);
                break;
            }
            continue;
        }
        if (StartsWith(t, "ADDRESS,DATA") || StartsWith(t, "DATA,ADDRESS"))
            continue;
        if (StartsWith(t, kPreamble.Start)) {
            p = 0;
            ctx.PreambleCount = 0;
            section = &kPreamble;
            count = &ctx.PreambleCount;
        } else if (StartsWith(t, kDelay)) {
            ReadDelay(ctx, t);
        } else if (StartsWith(t, kRegisters.Start)) {
            ctx.RecordCount = 0;
            section = &kRegisters;
            count = &ctx.RecordCount;
        } else if (StartsWith(t, kPostamble.Start)) {
            ctx.PostambleCount = 0;
            section = &kPostamble;
            count = &ctx.PostambleCount;
        }
    }
}
