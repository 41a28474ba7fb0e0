#include "tools/devsim/SimChip.h"

#include <algorithm>

namespace {

uint16_t U16(std::span<const uint8_t> b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

enum class TRule { Fam48, Fam5, Fam16, Fam64, Fam224, RegsA, CmdList };

TRule RuleOf(uint8_t family, uint8_t subType) {
    switch (family) {
    case 48:
        return TRule::Fam48;
    case 5:
        return TRule::Fam5;
    case 16:
        return TRule::Fam16;
    case 64:
        return TRule::Fam64;
    case 224:
        return TRule::Fam224;
    default:
        return (subType & 0xF0) == 0x10 ? TRule::RegsA : TRule::CmdList;
    }
}

// Records of `size` bytes that fit the data area.
size_t RecordsIn(std::span<const uint8_t> settings, size_t first, size_t size) {
    size_t count = U16(settings, kSbRecordCount);
    size_t room = first < kSimDataArea ? (kSimDataArea - first) / size : 0;
    return std::min(count, room);
}

// Family 48 walk: calls f(entry index, key) for every register write of the
// generic section (section code 0 or 0x10), tracking the page register 0xFF.
template <typename F> void WalkFam48(std::span<const uint8_t> settings, std::span<const uint8_t> data, F f) {
    uint8_t page = 0;
    size_t count = RecordsIn(settings, 0, 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *e = &data[4 * i];
        if (e[0] > 0x10)
            continue;
        if (e[2] == 0xFF)
            page = e[3];
        if (e[2] >= 0xE0)
            continue;
        f(i, static_cast<uint16_t>(page << 8 | e[2]));
    }
}

size_t PreambleOffset(std::span<const uint8_t> settings) {
    return 4u * settings[kSbFamilyParam2];
}

bool Wide16(std::span<const uint8_t> settings) {
    return (settings[kSbFamilyParam1] & 0x04) != 0;
}

// Family 224 data: (register, 1, value, 0) entries while bytes 0 or 1 are set.
constexpr size_t kFam224Entries = 32;

} // namespace

bool SimIsRegisterFamily(uint8_t family) {
    switch (family) {
    case 0:
    case 5:
    case 16:
    case 24:
    case 32:
    case 48:
    case 64:
    case 224:
        return true;
    default:
        return false;
    }
}

void SimProgramRegisters(TSimChip &chip, std::span<const uint8_t> settings, std::span<const uint8_t> data) {
    auto &r = chip.Registers;
    switch (RuleOf(settings[kSbFamily], settings[kSbSubType])) {
    case TRule::Fam48:
        WalkFam48(settings, data, [&](size_t i, uint16_t key) { r[key] = data[4 * i + 3]; });
        break;
    case TRule::Fam5: {
        size_t s = PreambleOffset(settings);
        size_t count = RecordsIn(settings, s, 4);
        for (size_t i = 0; i < count; ++i)
            r[U16(data, s + 4 * i)] = data[s + 4 * i + 2];
        break;
    }
    case TRule::Fam16: {
        unsigned first = settings[kSbRegFirst], last = settings[kSbRegEnd];
        for (unsigned i = first; i <= last && i < 256; ++i) {
            if (Wide16(settings)) {
                r[2 * i] = data[2 * i];
                r[2 * i + 1] = data[2 * i + 1];
            } else {
                r[i] = data[i];
            }
        }
        break;
    }
    case TRule::Fam64:
        std::copy_n(data.begin() + 256, 128, r.begin());
        break;
    case TRule::Fam224:
        for (size_t i = 0; i < kFam224Entries && (data[4 * i] | data[4 * i + 1]) != 0; ++i)
            r[data[4 * i]] = data[4 * i + 2];
        break;
    case TRule::RegsA: {
        size_t count = RecordsIn(settings, 0, 4);
        for (size_t i = 0; i < count; ++i) {
            uint8_t key = data[4 * i], value = data[4 * i + 1], mask = data[4 * i + 2];
            r[key] = static_cast<uint8_t>((r[key] & ~mask) | (value & mask));
        }
        break;
    }
    case TRule::CmdList: {
        size_t count = RecordsIn(settings, 0, 8);
        for (size_t i = 0; i < count; ++i) {
            uint8_t cmd = data[8 * i];
            if (cmd != 0)
                std::copy_n(data.begin() + 8 * i + 2, 6, r.begin() + 8 * cmd);
        }
        break;
    }
    }
}

void SimReadOutRegisters(const TSimChip &chip, std::span<const uint8_t> settings,
                         std::span<const uint8_t> data, std::span<uint8_t> out) {
    const auto &r = chip.Registers;
    std::fill(out.begin(), out.end(), 0);
    switch (RuleOf(settings[kSbFamily], settings[kSbSubType])) {
    case TRule::Fam48:
        // The records come back as sent, with the chip's value in byte 3.
        std::copy_n(data.begin(), kSimDataArea, out.begin());
        WalkFam48(settings, data, [&](size_t i, uint16_t key) { out[4 * i + 3] = r[key]; });
        break;
    case TRule::Fam5: {
        std::copy_n(data.begin(), kSimDataArea, out.begin());
        size_t s = PreambleOffset(settings);
        size_t count = RecordsIn(settings, s, 4);
        for (size_t i = 0; i < count; ++i)
            out[s + 4 * i + 2] = r[U16(data, s + 4 * i)];
        break;
    }
    case TRule::Fam16:
        std::copy_n(r.begin(), Wide16(settings) ? 512 : 256, out.begin());
        break;
    case TRule::Fam64:
        std::copy_n(r.begin(), 128, out.begin());
        break;
    case TRule::Fam224: {
        unsigned base = settings[kSbRegBase], count = settings[kSbRegEnd];
        for (unsigned i = 0; i < count; ++i)
            out[i] = r[(base + i) & 0xFF];
        break;
    }
    case TRule::RegsA: {
        // A table of 22 (key, value) entries; unused entries repeat the first
        // so that no blank entry shadows register 0.
        constexpr size_t kEntries = 22;
        size_t count = std::min(RecordsIn(settings, 0, 4), kEntries);
        for (size_t t = 0; t < kEntries && count > 0; ++t) {
            uint8_t key = data[4 * (t < count ? t : 0)];
            out[4 * t] = key;
            out[4 * t + 1] = r[key];
        }
        break;
    }
    case TRule::CmdList: {
        std::copy_n(data.begin(), kSimDataArea, out.begin());
        size_t count = RecordsIn(settings, 0, 8);
        for (size_t i = 0; i < count; ++i) {
            uint8_t cmd = data[8 * i];
            if (cmd != 0)
                std::copy_n(r.begin() + 8 * cmd, 6, out.begin() + 8 * i + 2);
        }
        break;
    }
    }
}

void SimChipInfoPayload(const TSimChip &chip, uint8_t family, std::span<const uint8_t> configured,
                        std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), 0);
    std::copy_n(configured.begin(), std::min(configured.size(), out.size()), out.begin());
    if (family == 48 && out.size() > 4) {
        out[2] = chip.Registers[0x0022];
        out[3] = chip.Registers[0x002F];
        out[4] = chip.Registers[0x0010];
    }
}
