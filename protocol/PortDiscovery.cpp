#include "protocol/PortDiscovery.h"

#include <algorithm>
#include <cstring>

#include "forms/Controls.h"
#include "serial/Comm.h"
#include "serial/PortUsers.h"
#include "serial/PosixPort.h"
#include "serial/UucpLock.h"
#include "state/VltContext.h"

namespace {

constexpr const char kVcpPrefix[] = "\\Device\\VCP";
constexpr std::size_t kVcpPrefixLength = sizeof kVcpPrefix - 1;

} // namespace

void EnumeratePorts(TComboBox &combo, const TSerialDeviceMap &map, const std::string &lockDir) {
    for (const auto &entry : map) {
        if (entry.DeviceName.compare(0, kVcpPrefixLength, kVcpPrefix) != 0)
            continue;
        // Another program's lock: its port is not even opened for the test.
        if (UucpLockHeld(lockDir, UucpLockName(entry.PortName)))
            continue;
        // A port open by this program, or by one that uses exclusive mode or
        // flock, fails the exclusive open; the others show under /proc.
        const int fd = OpenPortExclusive(entry.PortName);
        if (fd < 0)
            continue;
        const bool usable = TerminalFreeElsewhere(fd);
        ClosePortHandle(fd);
        if (usable)
            combo.AddItem(entry.PortName);
    }
    combo.Text = combo.Items.empty() ? std::string(kNoDeviceText) : combo.Items.back();
}

void EnumeratePorts(TComboBox &combo) {
    EnumeratePorts(combo, SerialDeviceMap());
}

bool SendProbe(VltContext &ctx, int n) {
    if (n < 1 || n > kChannels)
        return false;
    auto &wire = ctx.WireBuf[n - 1];
    std::copy(kProbeFrame.begin(), kProbeFrame.end(), wire.begin());
    TComm *comm = ctx.ChannelComm[n - 1];
    if (comm == nullptr)
        return false;
    return comm->SendData(wire.data(), static_cast<uint16_t>(kProbeFrame.size()));
}

uint8_t CheckHandshakeName(const uint8_t *packet, std::size_t packetLength, TDeviceNameField &expected,
                           uint8_t offset) {
    if (packet == nullptr || packetLength < 4 || packet[0] != 0xA3 || packet[1] != 0xA5 || packet[2] != 0x35)
        return kHandshakeBadReply;
    const uint8_t n = packet[3];
    if (n == 0)
        return kHandshakeBadReply;

    // N + 1 name bytes, bounded so that the terminating zero fits the field.
    std::array<char, kDeviceNameFieldSize> name{};
    const std::size_t want = std::min<std::size_t>(std::size_t{n} + 1, kDeviceNameFieldSize - 1);
    for (std::size_t i = 0; i < want; ++i) {
        const std::size_t at = std::size_t{offset} + i;
        const uint8_t b = at < packetLength ? packet[at] : 0;
        if (b < 0x20 || b >= 0x80)
            break;
        name[i] = static_cast<char>(b);
    }

    const std::size_t expectedLength =
        std::find(expected.begin(), expected.end(), uint8_t{0}) - expected.begin();
    for (std::size_t i = 0; i < expectedLength; ++i)
        if (static_cast<uint8_t>(name[i]) != expected[i])
            return kHandshakeNameMismatch;

    const std::size_t nameLength = std::strlen(name.data());
    std::memcpy(expected.data(), name.data(), nameLength + 1);
    return 0;
}

std::string DeviceNameText(const TDeviceNameField &field) {
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    return std::string(field.begin(), end);
}
