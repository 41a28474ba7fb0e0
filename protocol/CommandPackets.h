#pragma once
// The gang programmer's command packets, built in a channel's packet record,
// encoded into its wire buffer and handed to its serial component. Channels
// are n = 1..4; a channel outside that range builds and sends nothing.
#include "protocol/BuildConstants.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct VltContext;

// Command codes.
constexpr uint8_t CmdSetup = 0x53;
constexpr uint8_t CmdDataBlock = 0x55;
constexpr uint8_t CmdCloseDownload = 0x8A;
constexpr uint8_t CmdCloseProgram = 0x86;
constexpr uint8_t CmdReadInfo = 0x93;
constexpr uint8_t CmdProgram = 0x95;
constexpr uint8_t CmdVerifyRead = 0x9B;
constexpr uint16_t kReadInfoParam = 0x37;

// Payload and packet lengths (before encoding).
constexpr uint16_t kSetupPayload = 1536;
constexpr uint16_t kSetupPacketLen = 1546;
constexpr uint16_t kDataBlockPayload = 4096;
constexpr uint16_t kDataBlockPacketLen = 4106;
constexpr uint16_t kShortPayload = 2;
constexpr uint16_t kShortPacketLen = 12;
constexpr uint16_t kSettingsPayload = 128;
constexpr uint16_t kSettingsPacketLen = 138;
constexpr uint16_t kFullPayload = 4736;
constexpr uint16_t kFullPacketLen = 4746;

// Setup packet layout.
constexpr size_t kSetupMagicAt = 8; // "QDXR"
constexpr size_t kSetupSettingsAt = 12;
constexpr size_t kSetupRandom1First = 140, kSetupRandom1Last = 245;
constexpr size_t kSetupCheck1At = 260; // check word over 8..259
constexpr size_t kSetupSum1At = 262;   // byte sum over 8..261
constexpr size_t kSetupChipNameAt = 264;
constexpr size_t kSetupFileNameAt = 280;
constexpr size_t kTextFieldWidth = 16;
constexpr size_t kSetupRandom2First = 296, kSetupRandom2Last = 519;
constexpr size_t kSetupCheck2At = 516; // check word over 8..515
constexpr size_t kSetupSum2At = 518;   // byte sum over 8..517
constexpr size_t kSetupRandom3First = 520, kSetupRandom3Last = 1543;
constexpr size_t kSetupRegListAAt = 520;
constexpr size_t kSetupRegListBAt = 776;
constexpr size_t kRegListBytesSent = 256;
// Bytes 8..1543 are scrambled: even offsets XOR mask byte 0, odd offsets
// XOR mask byte 1.
constexpr size_t kSetupScrambleFirst = 8, kSetupScrambleLast = 1543;

// Full packet layout.
constexpr size_t kFullSettingsAt = 8;
constexpr size_t kFullDataAt = 136;
constexpr size_t kFullRegListAAt = 4232;
constexpr size_t kFullRegListBAt = 4488;

// The setup packet's mask: parameter low byte XOR constant 0, high byte XOR
// constant 1.
std::array<uint8_t, 2> SetupMask(uint16_t param, std::array<uint8_t, 2> maskConst = kSetupMaskConst);

// Scrambles bytes 8..1543 of a setup packet with the mask of the parameter in
// its header (bytes 1..2). XOR: the same call unscrambles. Packets shorter
// than 1544 bytes are left alone.
void ScrambleSetupPacket(std::span<uint8_t> packet, std::array<uint8_t, 2> maskConst = kSetupMaskConst);
inline void UnscrambleSetupPacket(std::span<uint8_t> packet,
                                  std::array<uint8_t, 2> maskConst = kSetupMaskConst) {
    ScrambleSetupPacket(packet, maskConst);
}

// Writes `text` (UTF-8) into channel n's packet record at `offset`: its bytes
// in the device's code page (ToDeviceCodePage), cut at `width` without
// splitting a character, then zeros to `width`; an empty text as "?" and zeros.
void PutTextField(VltContext &ctx, int n, const std::string &text, uint16_t offset, uint16_t width);

// Builders: fill channel n's packet record and return the packet length
// (0 for a bad channel).
// The setup packet carries ctx.ChipName and the loaded file's name.
uint16_t BuildSetupPacket(VltContext &ctx, int n, uint8_t command, uint16_t param,
                          const std::string &fileName);
// 4096 bytes of DataBuffer from (blockPos x 1024) modulo 65,536.
uint16_t BuildDataBlock(VltContext &ctx, int n, uint8_t command, uint16_t blockPos);
uint16_t BuildSettingsPacket(VltContext &ctx, int n, uint8_t command, uint16_t param);
uint16_t BuildShortPacket(VltContext &ctx, int n, uint8_t command);
uint16_t BuildFullPacket(VltContext &ctx, int n, uint8_t command, uint16_t param);

// Encodes `len` bytes of channel n's packet record into its wire buffer and
// sends them; the result of SendData (false without a serial component).
bool SendChannelPacket(VltContext &ctx, int n, uint16_t len);

// Build, encode, send.
bool SendSetupPacket(VltContext &ctx, int n, uint8_t command, uint16_t param, const std::string &fileName);
bool SendDataBlock(VltContext &ctx, int n, uint8_t command, uint16_t blockPos);
bool SendSettingsPacket(VltContext &ctx, int n, uint8_t command, uint16_t param);
bool SendShortPacket(VltContext &ctx, int n, uint8_t command);
bool SendFullPacket(VltContext &ctx, int n, uint8_t command, uint16_t param);
