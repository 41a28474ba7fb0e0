#pragma once
// A programmer's answer to the probe: A3 A5 35, N, 22 bytes, then N + 1 name bytes.
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<uint8_t> ProbeReply(const std::string &name, int lengthByte = -1) {
    std::vector<uint8_t> p = {0xA3, 0xA5, 0x35, 0};
    p[3] = static_cast<uint8_t>(lengthByte >= 0 ? lengthByte : static_cast<int>(name.size()) - 1);
    p.resize(26, 0x11);
    p.insert(p.end(), name.begin(), name.end());
    p.push_back(0);
    return p;
}
