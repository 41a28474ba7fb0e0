#pragma once
// The programmer device reads its texts in its 8-bit code page, GBK; the
// program's texts are UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// Writes the GBK form of a UTF-8 text into out and returns the number of
// bytes written: ASCII as it is, other characters converted, characters GBK
// lacks and bytes that are no UTF-8 as "?". The text ends before the first
// character that does not fit whole.
std::size_t ToDeviceCodePage(std::string_view utf8, std::span<uint8_t> out);
