#pragma once
// Packets the simulated device sends, built and framed with the project's
// frame codec.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Probe frame's packet, and the identifier every device name starts with.
constexpr uint8_t kSimProbeBytes[3] = {0xA3, 0xA5, 0x35};
constexpr const char *kSimDeviceIdentifier = "Pelmor200VLT";
// Offset of the device name in the probe reply.
constexpr size_t kSimProbeNameOffset = 26;
// First byte of a stand-alone progress report (not examined by the host).
constexpr uint8_t kSimReportLead = 0x88;

bool SimIsProbe(std::span<const uint8_t> packet);

// A reply echoing the request's command, argument, marker, family and
// sub-type, with this payload and its check word.
std::vector<uint8_t> SimReply(std::span<const uint8_t> request, std::span<const uint8_t> payload);
// A reply carrying only a status byte (payload: status, 0).
std::vector<uint8_t> SimStatusReply(std::span<const uint8_t> request, uint8_t status);
// A3 A5 35, N, 22 bytes, the name (N + 1 bytes, at most 256), check word.
std::vector<uint8_t> SimProbeReply(const std::string &name);
// Bytes 0..7 add up to 0 modulo 256; a check word follows.
std::vector<uint8_t> SimProgressReport(uint8_t stage, uint8_t result, uint16_t current, uint16_t maximum);

// Stores the check word over all but the last two bytes into the last two.
void SimSeal(std::vector<uint8_t> &packet);
// The packet as a frame on the wire.
std::vector<uint8_t> SimFrame(std::span<const uint8_t> packet);
// A whole stand-alone run on the wire, one frame a report: start, blank check,
// erase, programming in `steps` reports, verification, completion with
// `result` (6 = OK).
std::vector<uint8_t> SimStandAloneRunFrames(uint8_t result, uint16_t steps);
