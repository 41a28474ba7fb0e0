#pragma once
// One Intel HEX record, its checksum computed here, for the tests' fixture files.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline std::string HexRecord(int type, unsigned addr, const std::vector<uint8_t> &data,
                             const char *lineEnd = "\n") {
    std::vector<uint8_t> b{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(addr >> 8),
                           static_cast<uint8_t>(addr), static_cast<uint8_t>(type)};
    b.insert(b.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto x : b)
        sum += x;
    b.push_back(static_cast<uint8_t>(0x100 - (sum & 0xFF)));
    std::string s = ":";
    char h[3];
    for (auto x : b) {
        std::snprintf(h, sizeof h, "%02X", x);
        s += h;
    }
    return s + lineEnd;
}
