#include "platform/DeviceCodePage.h"

#include <iconv.h>

namespace {

// Length of the UTF-8 sequence at s[i]; 0 when it is malformed there.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto b = static_cast<uint8_t>(s[i]);
    const std::size_t len = b < 0x80           ? 1
                            : (b >> 5) == 0x6  ? 2
                            : (b >> 4) == 0xE  ? 3
                            : (b >> 3) == 0x1E ? 4
                                               : 0;
    if (len == 0 || len > s.size() - i)
        return 0;
    for (std::size_t k = 1; k < len; ++k)
        if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return len;
}

// Opened at the first character that needs it: most texts are ASCII.
class TGbkConverter {
public:
    TGbkConverter() = default;
    ~TGbkConverter() {
        if (Usable())
            ::iconv_close(Cd);
    }
    TGbkConverter(const TGbkConverter &) = delete;
    TGbkConverter &operator=(const TGbkConverter &) = delete;

    // One character; false when GBK has none for it (or iconv rejects the
    // sequence: overlong forms, surrogates).
    bool Convert(std::string_view character, char (&out)[8], std::size_t &got) {
        if (!Opened) {
            Cd = ::iconv_open("GBK", "UTF-8");
            Opened = true;
        }
        if (!Usable())
            return false;
        char *in = const_cast<char *>(character.data());
        std::size_t inLeft = character.size();
        char *to = out;
        std::size_t toLeft = sizeof out;
        const std::size_t r = ::iconv(Cd, &in, &inLeft, &to, &toLeft);
        ::iconv(Cd, nullptr, nullptr, nullptr, nullptr);
        got = sizeof out - toLeft;
        // A non-zero count means an approximation, which is no conversion.
        return r == 0 && inLeft == 0 && got > 0;
    }

private:
    bool Usable() const { return Opened && Cd != reinterpret_cast<iconv_t>(-1); }
    bool Opened = false;
    iconv_t Cd = nullptr;
};

} // namespace

std::size_t ToDeviceCodePage(std::string_view utf8, std::span<uint8_t> out) {
    TGbkConverter gbk;
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t len = SequenceLength(utf8, i);
        char bytes[8] = {'?'};
        std::size_t got = 1;
        if (len == 1)
            bytes[0] = utf8[i];
        else if (len == 0 || !gbk.Convert(utf8.substr(i, len), bytes, got)) {
            bytes[0] = '?';
            got = 1;
        }
        if (got > out.size() - used)
            break;
        for (std::size_t k = 0; k < got; ++k)
            out[used++] = static_cast<uint8_t>(bytes[k]);
        i += len != 0 ? len : 1;
    }
    return used;
}
