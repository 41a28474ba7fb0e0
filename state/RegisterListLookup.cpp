#include "state/RegisterListLookup.h"

#include <algorithm>
#include <cstddef>

#include "state/VltContext.h"

namespace {

// The list area is 256 bytes.
constexpr size_t kListArea = 256;

} // namespace

bool IsInRegListA(const VltContext &ctx, uint16_t key) {
    const size_t n = std::min<size_t>(ctx.RegListAKeys, kListArea / 2);
    for (size_t i = 0; i < n; ++i) {
        const uint16_t k = static_cast<uint16_t>(ctx.RegListA[2 * i] | (ctx.RegListA[2 * i + 1] << 8));
        if (k == key)
            return true;
    }
    return false;
}

uint8_t RegMaskOfListB(const VltContext &ctx, uint16_t key) {
    const size_t n = std::min<size_t>(ctx.RegListBCount, kListArea / 4);
    for (size_t i = 0; i < n; ++i) {
        const uint16_t k = static_cast<uint16_t>(ctx.RegListB[4 * i] | (ctx.RegListB[4 * i + 1] << 8));
        if (k == key)
            return ctx.RegListB[4 * i + 2];
    }
    return 0xFF;
}

bool IsFlaggedCodeTag2(const VltContext &ctx, uint16_t code) {
    if (ctx.ChipSubType != 2)
        return false;
    switch (code) {
    case 0x28:
    case 0x29:
    case 0x38:
    case 0x39:
    case 0x42:
    case 0x43:
        return true;
    default:
        return code > 0x45;
    }
}
