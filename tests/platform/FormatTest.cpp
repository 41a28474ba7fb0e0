#include "platform/Format.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct FormatCase {
    const char *Name;
    std::function<std::string()> Run;
    std::string Expected;
};

TEST(Format, RendersDirectives) {
    const std::string longText(40, 'a');
    const FormatCase cases[] = {
        {"two digits", [] { return Format("%0.2x", 0x6C); }, "6C"},
        {"larger keeps all digits", [] { return Format("%0.2x", 0x123); }, "123"},
        {"pad to four", [] { return Format("%0.4x", 0xA); }, "000A"},
        {"pad to eight", [] { return Format("%0.8x", 0xBEEFu); }, "0000BEEF"},
        {"upper case", [] { return Format("%x", 0xabcdef); }, "ABCDEF"},
        {"negative hex is 32-bit", [] { return Format("%x", -1); }, "FFFFFFFF"},
        {"byte argument", [] { return Format("%0.2x", uint8_t{0xF}); }, "0F"},
        {"wide unsigned", [] { return Format("%x", uint64_t{0x123456789AB}); }, "123456789AB"},
        {"decimal", [] { return Format("Counter : %d", 42); }, "Counter : 42"},
        {"negative decimal", [] { return Format("%d", -17); }, "-17"},
        {"most negative", [] { return Format("%d", INT64_MIN); }, "-9223372036854775808"},
        {"decimal precision", [] { return Format("%.3d", -7); }, "-007"},
        {"status line", [] { return Format("Operate Error! Code=0%d(0x%0.2x)", 0x2A, 0x2A); },
         "Operate Error! Code=042(0x2A)"},
        {"text", [] { return Format("Device%d: %s!", 3, "Operation Timeout"); },
         "Device3: Operation Timeout!"},
        {"std::string", [] { return Format("[%s]", std::string("abc")); }, "[abc]"},
        {"empty text", [] { return Format("[%s]", ""); }, "[]"},
        {"percent", [] { return Format("100%% %d%%", 5); }, "100% 5%"},
        {"width right", [] { return Format("%5d|", 42); }, "   42|"},
        {"width left", [] { return Format("%-5s|", "ab"); }, "ab   |"},
        {"text precision cuts", [] { return Format("%.3s", "abcdef"); }, "abc"},
        {"upper-case type", [] { return Format("%X %D", 255, 9); }, "FF 9"},
        {"no directives", [] { return Format("plain"); }, "plain"},
        {"unused argument ignored", [] { return Format("x", 1); }, "x"},
        {"long text", [&] { return Format("%s", longText); }, longText},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.Run(), c.Expected) << c.Name;
}

TEST(Format, BadFormatThrowsConvertError) {
    const std::function<std::string()> cases[] = {
        [] { return Format("%d"); },               // missing argument
        [] { return Format("%d %d", 1); },         // second missing
        [] { return Format("%d", "text"); },       // text for a number
        [] { return Format("%s", 5); },            // number for text
        [] { return Format("%q", 5); },            // unknown type
        [] { return Format("trailing %"); },       // cut directive
        [] { return Format("%5", 5); },            // no type
        [] { return Format("%99999999999d", 1); }, // width beyond the bound
        [] { return Format("%.2000x", 1); },       // precision beyond the bound
    };
    int i = 0;
    for (const auto &run : cases) {
        EXPECT_THROW(run(), EConvertError) << "case " << i;
        ++i;
    }
}

} // namespace
