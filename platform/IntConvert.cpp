#include "platform/IntConvert.h"

#include "platform/Errors.h"
#include "platform/Format.h"

std::optional<int32_t> TryStrToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
        v = v * base + d;
        if (v > limit)
            return std::nullopt;
    }
    uint32_t bits = static_cast<uint32_t>(v);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text))
        return *v;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

std::string IntToStr(int64_t value) {
    return Format("%d", value);
}

std::string IntToHex(uint64_t value, int digits) {
    if (digits < 0)
        digits = 0;
    if (digits > 16)
        digits = 16;
    return Format("%." + std::to_string(digits) + "x", value);
}
