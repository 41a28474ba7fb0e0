#pragma once
// Packets the simulated device sends, built and framed with the project's
// frame codec.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Probe frame's packet, and the identifier every device name starts with.
constexpr uint8_t kProbeBytes[3] = {0xA3, 0xA5, 0x35};
constexpr const char *kDeviceIdentifier = "Pelmor200VLT";
// Offset of the device name in the probe reply.
constexpr size_t kProbeNameOffset = 26;
// First byte of a stand-alone progress report (not examined by the host).
constexpr uint8_t kReportLead = 0x88;

bool IsProbePacket(std::span<const uint8_t> packet);

// A reply echoing the request's command, argument, marker, family and
// sub-type, with this payload and its check word.
std::vector<uint8_t> MakeReply(std::span<const uint8_t> request, std::span<const uint8_t> payload);
// A reply carrying only a status byte (payload: status, 0).
std::vector<uint8_t> MakeStatusReply(std::span<const uint8_t> request, uint8_t status);
// A3 A5 35, N, 22 bytes, the name (N + 1 bytes, at most 256), check word.
std::vector<uint8_t> MakeProbeReply(const std::string &name);
// Bytes 0..7 add up to 0 modulo 256; a check word follows.
std::vector<uint8_t> MakeProgressReport(uint8_t stage, uint8_t result, uint16_t current, uint16_t maximum);

// Stores the check word over all but the last two bytes into the last two.
void SealWhole(std::vector<uint8_t> &packet);
// The packet as a frame on the wire.
std::vector<uint8_t> FrameOf(std::span<const uint8_t> packet);
