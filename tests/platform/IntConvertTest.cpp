#include "platform/IntConvert.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

namespace {

TEST(StrToInt, ConvertsNumericText) {
    const struct {
        const char *Text;
        int32_t Value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"+42", 42},
        {" -12", -12},
        {"\t 7", 7},
        {"$1F", 0x1F},
        {"0x1f", 0x1F},
        {"0X1F", 0x1F},
        {"x10", 0x10},
        {"X10", 0x10},
        {"-$10", -16},
        {"-0x10", -16},
        {"0x00", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", 0x7FFFFFFF},
        {"$FFFFFFFF", -1},
        {"0x0000000000000001", 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(StrToInt(c.Text), c.Value) << c.Text;
        EXPECT_EQ(TryStrToInt(c.Text), c.Value) << c.Text;
    }
}

TEST(StrToInt, RejectsOtherTextWithItsMessage) {
    const char *cases[] = {
        "1a",
        "0x",
        "12 ",
        "",
        " ",
        "-",
        "+-1",
        "$",
        "0x1g",
        "1.5",
        "x-1",
        "0xx1",
        "1 2",
        "2147483648",  // above the range
        "-2147483649", // below the range
        "$100000000",  // more than 32 bits
        "12345678901234567890",
    };
    for (const char *text : cases) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "converted '" << text << "'";
        } catch (const EConvertError &e) {
            EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
        }
        EXPECT_FALSE(TryStrToInt(text).has_value()) << text;
    }
}

TEST(IntText, RendersDecimalAndHex) {
    EXPECT_EQ(IntToStr(-305), "-305");
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToHex(0x6C, 2), "6C");
    EXPECT_EQ(IntToHex(0x6C, 4), "006C");
    EXPECT_EQ(IntToHex(0x12345, 2), "12345");
}

} // namespace
