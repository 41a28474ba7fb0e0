#include "protocol/ParamCrc16.h"

#include <algorithm>

uint16_t ParamCrc16(std::span<const uint8_t> buf, uint16_t first, uint16_t last) {
    uint16_t crc = 0;
    const size_t end = std::min<size_t>(buf.size(), size_t{last} + 1);
    for (size_t i = first; i < end; ++i) {
        const uint8_t b = buf[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool top = (crc & 0x8000) != 0;
            crc = static_cast<uint16_t>(crc << 1);
            if (top != (((b >> bit) & 1) != 0))
                crc ^= kParamCrcPolynomial;
        }
    }
    return crc;
}
