#pragma once
// The toolkit's format routine: Format("Device%d: %s", n, text).
//
// Directives: %[-][width][.precision]type with type
//   d  signed decimal (precision = least number of digits, zero-padded)
//   u  unsigned decimal (same)
//   x  hexadecimal, upper-case digits (same; "%0.2x" of 0x6C is "6C", of
//      0x123 is "123"); a negative value prints its two's complement in
//      the width of its type, at least 32 bits
//   s  text (precision = most characters taken)
//   %  a literal percent sign
// width pads with blanks on the left, or on the right after '-'.
// Width and precision above kFormatMaxField, an unknown directive, a
// missing argument or an argument of the wrong kind throw EConvertError;
// nothing is ever written outside the returned string.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

constexpr int kFormatMaxField = 1024;

struct TFormatArg {
    enum Kind : uint8_t { Signed, Unsigned, Text };
    Kind ArgKind;
    uint8_t Bits; // width of the integer type, for "%x" of negatives
    int64_t S = 0;
    uint64_t U = 0;
    std::string_view T;

    template <typename I>
    requires(std::is_integral_v<I> && !std::is_same_v<I, bool> && !std::is_same_v<I, char>) TFormatArg(I v)
        : ArgKind(std::is_signed_v<I> ? Signed : Unsigned), Bits(sizeof(I) * 8) {
        if constexpr (std::is_signed_v<I>)
            S = v;
        else
            U = v;
    }
    template <typename E>
    requires std::is_enum_v<E> TFormatArg(E v) : TFormatArg(static_cast<std::underlying_type_t<E>>(v)) {}
    TFormatArg(std::string_view v) : ArgKind(Text), Bits(0), T(v) {}
    TFormatArg(const std::string &v) : ArgKind(Text), Bits(0), T(v) {}
    TFormatArg(const char *v) : ArgKind(Text), Bits(0), T(v ? v : "") {}
};

std::string FormatList(std::string_view fmt, std::initializer_list<TFormatArg> args);

template <typename... A> std::string Format(std::string_view fmt, const A &...args) {
    return FormatList(fmt, {TFormatArg(args)...});
}
