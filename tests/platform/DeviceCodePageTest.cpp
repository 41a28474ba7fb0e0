// Broken UTF-8 in a text for the device: each byte that starts no whole
// character is one "?", and the text after it comes through unharmed.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/DeviceCodePage.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Convert(const std::string &utf8) {
    std::array<uint8_t, 64> out{};
    const std::size_t n = ToDeviceCodePage(utf8, out);
    return Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(n));
}

// 中 in GBK.
constexpr uint8_t kZ0 = 0xD6, kZ1 = 0xD0;

TEST(DeviceCodePage, BytesThatStartNoWholeCharacterAreOneQuestionMarkEach) {
    const struct {
        const char *What;
        std::string Text;
        Bytes Want;
    } cases[] = {
        {"2-byte lead before ASCII",
         "\xC3"
         "a",
         {'?', 'a'}},
        {"2-byte lead before a multibyte character", "\xC3中", {'?', kZ0, kZ1}},
        {"2-byte lead at the end", "x\xC3", {'x', '?'}},
        {"3-byte lead before ASCII",
         "\xE4"
         "a",
         {'?', 'a'}},
        {"3-byte lead before a multibyte character", "\xE4中", {'?', kZ0, kZ1}},
        {"3-byte lead at the end", "x\xE4", {'x', '?'}},
        {"4-byte lead before ASCII",
         "\xF0"
         "a",
         {'?', 'a'}},
        {"4-byte lead before a multibyte character", "\xF0中", {'?', kZ0, kZ1}},
        {"4-byte lead at the end", "x\xF0", {'x', '?'}},
        {"two leads in a row", "\xC3\xE4中", {'?', '?', kZ0, kZ1}},
        {"a lead between two characters", "中\xC3中", {kZ0, kZ1, '?', kZ0, kZ1}},
        // A sequence cut short: each of its bytes on its own.
        {"3-byte form cut before ASCII",
         "\xE4\xB8"
         "a",
         {'?', '?', 'a'}},
        {"3-byte form cut before a multibyte character", "\xE4\xB8中", {'?', '?', kZ0, kZ1}},
        {"3-byte form cut at the end", "x\xE4\xB8", {'x', '?', '?'}},
        {"4-byte form cut before a multibyte character", "\xF0\x9F\x98中", {'?', '?', '?', kZ0, kZ1}},
        {"4-byte form cut at the end", "x\xF0\x9F\x98", {'x', '?', '?', '?'}},
        // Continuation bytes with no lead.
        {"stray continuation before a multibyte character", "\x80中", {'?', kZ0, kZ1}},
        {"stray continuation after a character",
         "中\xAD"
         "a",
         {kZ0, kZ1, '?', 'a'}},
        {"two stray continuations", "\xBF\xBF中", {'?', '?', kZ0, kZ1}},
        {"a byte that leads no form", "\xFF中\xF8", {'?', kZ0, kZ1, '?'}},
        // Whole characters around the damage stay whole.
        {"no damage", "a中é文", {'a', kZ0, kZ1, 0xA8, 0xA6, 0xCE, 0xC4}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Convert(c.Text), c.Want) << c.What;
}

} // namespace
