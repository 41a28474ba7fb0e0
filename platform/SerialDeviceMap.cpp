#include "platform/SerialDeviceMap.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

namespace fs = std::filesystem;

// A map file larger than this is not a list of ports.
constexpr std::size_t kMaxMapFile = 1 << 20;
constexpr std::size_t kMaxLine = 4096;

bool IsUsbSerial(const std::string &name) {
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

// "ttyUSB2" < "ttyUSB10": the trailing number compares by value.
bool NaturalLess(const std::string &a, const std::string &b) {
    auto split = [](const std::string &s) {
        std::size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')
            --i;
        std::string digits = s.substr(i);
        digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
        return std::make_pair(s.substr(0, i), digits);
    };
    auto [pa, na] = split(a);
    auto [pb, nb] = split(b);
    if (pa != pb)
        return pa < pb;
    if (na.size() != nb.size())
        return na.size() < nb.size();
    if (na != nb)
        return na < nb;
    return a < b;
}

std::string Trim(const std::string &s) {
    const char *ws = " \t\r\n";
    auto b = s.find_first_not_of(ws);
    if (b == std::string::npos)
        return {};
    auto e = s.find_last_not_of(ws);
    return s.substr(b, e - b + 1);
}

} // namespace

TSerialDeviceMap ScanSysTty(const std::string &root) {
    std::vector<std::string> usb, other;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code dec;
        // Virtual consoles and pseudo-terminals have no device behind them.
        if (!fs::exists(it->path() / "device", dec))
            continue;
        (IsUsbSerial(name) ? usb : other).push_back(name);
    }
    std::sort(usb.begin(), usb.end(), NaturalLess);
    std::sort(other.begin(), other.end(), NaturalLess);
    TSerialDeviceMap map;
    for (std::size_t i = 0; i < usb.size(); ++i)
        map.push_back({"\\Device\\VCP" + std::to_string(i), usb[i]});
    for (std::size_t i = 0; i < other.size(); ++i)
        map.push_back({"\\Device\\Serial" + std::to_string(i), other[i]});
    return map;
}

TSerialDeviceMap ParseSerialMap(const std::string &text) {
    TSerialDeviceMap map;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        const std::size_t len = eol - pos;
        const std::string line = len <= kMaxLine ? Trim(text.substr(pos, len)) : std::string();
        pos = eol + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const auto gap = line.find_first_of(" \t");
        if (gap == std::string::npos)
            continue;
        std::string port = Trim(line.substr(gap));
        if (!port.empty())
            map.push_back({line.substr(0, gap), std::move(port)});
    }
    return map;
}

TSerialDeviceMap ReadSerialDeviceMap(const char *mapFile, const std::string &sysRoot) {
    if (mapFile == nullptr || *mapFile == '\0')
        return ScanSysTty(sysRoot);
    std::ifstream in(mapFile, std::ios::binary);
    if (!in)
        return {};
    std::string text(kMaxMapFile, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseSerialMap(text);
}

TSerialDeviceMap SerialDeviceMap() {
    return ReadSerialDeviceMap(std::getenv(kSerialMapVariable));
}
