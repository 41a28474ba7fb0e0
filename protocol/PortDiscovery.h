#pragma once
// Finding programmer devices: listing the openable USB serial ports, the probe
// frame, and recognising the device name in the probe's reply.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/SerialDeviceMap.h"
#include "serial/UucpLock.h"

struct TComboBox;
struct VltContext;

inline constexpr std::size_t kDeviceNameFieldSize = 256;
using TDeviceNameField = std::array<uint8_t, kDeviceNameFieldSize>;

// "Pelmor200VLT" followed by 244 zero bytes.
inline constexpr TDeviceNameField ExpectedDeviceName = {'P', 'e', 'l', 'm', 'o', 'r',
                                                        '2', '0', '0', 'V', 'L', 'T'};

// The probe frame, sent as it stands.
inline constexpr std::array<uint8_t, 10> kProbeFrame = {0xC0, 0xA3, 0xA5, 0x35, 0xC0,
                                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Offset of the device name in a probe reply.
inline constexpr uint8_t kHandshakeNameOffset = 26;
// Result of CheckHandshakeName for a wrong reply header or an empty name field.
inline constexpr uint8_t kHandshakeBadReply = 15;
// Result of CheckHandshakeName for a name that is not the expected one.
inline constexpr uint8_t kHandshakeNameMismatch = 1;

inline constexpr const char *kNoDeviceText = "No Device Availiable";

// Appends to combo's items the port of every "\Device\VCP" entry of map that
// is a terminal free for use now: it opens exclusively, no other process has
// it open and no running process's lock file in lockDir names it (in map
// order; a sorted combo sorts). Then sets the combo's text to the last item or
// to "No Device Availiable". The caller clears the items and closes its own
// ports first.
void EnumeratePorts(TComboBox &combo, const TSerialDeviceMap &map, const std::string &lockDir = kUucpLockDir);
// The same over the process's serial device map.
void EnumeratePorts(TComboBox &combo);

// Writes the probe into channel n's WireBuf and sends it on its port; false
// when the channel has no port or the port did not take it.
bool SendProbe(VltContext &ctx, int n);

// Checks a decoded probe reply of packetLength bytes. 0 when the name at
// offset starts with the text of expected; expected then holds the whole
// reported name, zero-terminated. kHandshakeBadReply when the header is not
// A3 A5 35 or the name length byte is 0; kHandshakeNameMismatch otherwise.
// The name is at most 255 characters and ends at the first byte below 0x20 or
// from 0x80 up, or at the end of the packet.
uint8_t CheckHandshakeName(const uint8_t *packet, std::size_t packetLength, TDeviceNameField &expected,
                           uint8_t offset);

// The text of a name field: its characters up to the first zero byte.
std::string DeviceNameText(const TDeviceNameField &field);
