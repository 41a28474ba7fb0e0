#include "state/CheckWords.h"

#include <algorithm>
#include <cstddef>

namespace {

// Number of bytes of a first..last range that lie inside the buffer.
size_t RangeEnd(size_t bufSize, uint16_t last) {
    return std::min<size_t>(bufSize, size_t{last} + 1);
}

} // namespace

uint16_t FrameChecksumFrom(std::span<const uint8_t> buf, uint16_t first, uint16_t last, uint16_t start) {
    uint16_t v = start;
    const size_t end = RangeEnd(buf.size(), last);
    for (size_t i = first; i < end; ++i)
        v = static_cast<uint16_t>(buf[i] ^ (v >> 1) ^ ((v & 1) ? kChecksumOddXor : 0));
    return v;
}

uint16_t FrameChecksum(std::span<const uint8_t> buf, uint16_t first, uint16_t last) {
    return FrameChecksumFrom(buf, first, last, 0);
}

uint16_t SumFrom(std::span<const uint8_t> buf, uint16_t first, uint16_t last, uint16_t start) {
    uint16_t s = start;
    const size_t end = RangeEnd(buf.size(), last);
    for (size_t i = first; i < end; ++i)
        s = static_cast<uint16_t>(s + buf[i]);
    return s;
}

uint16_t NegSum(std::span<const uint8_t> buf, uint16_t first, uint16_t last) {
    const uint16_t s = SumFrom(buf, first, last, 0);
    return static_cast<uint16_t>((s ^ 0xFFFF) + 1);
}
