#pragma once
// Integer conversion of numeric text (data files, the device address edit).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Leading blanks and one sign are allowed, then decimal digits, or
// hexadecimal digits after "$", "0x", "0X", "x" or "X". Nothing may follow
// the digits. A decimal value must fit a 32-bit signed integer; a hexadecimal
// one may take all 32 bits and is read as their two's complement ("$FFFFFFFF"
// is -1). Anything else throws EConvertError
// "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// The same rules without the exception.
std::optional<int32_t> TryStrToInt(std::string_view text);

std::string IntToStr(int64_t value);

// Upper-case hexadecimal with at least `digits` digits (larger values keep
// all theirs).
std::string IntToHex(uint64_t value, int digits);
