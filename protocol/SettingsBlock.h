#pragma once
// The 128-byte block of chip settings carried by the setup, settings and
// full packets, and the random bytes the packets are padded with.
#include <array>
#include <cstddef>
#include <cstdint>

struct VltContext;

constexpr size_t kSettingsBlockSize = 128;

// Byte offsets inside the block.
constexpr size_t kSbMarker = 1; // 0x3B
constexpr size_t kSbFamily = 2;
constexpr size_t kSbSubType = 3;
constexpr size_t kSbRandom0 = 4;
constexpr size_t kSbAutoDetect = 5;
constexpr size_t kSbRandom1 = 6; // 6..9
constexpr size_t kSbTransferKB = 10;
constexpr size_t kSbInterfaceVoltage = 16;
constexpr size_t kSbPowerFlags = 17;
constexpr size_t kSbVerifyFlags = 18;
constexpr size_t kSbFamilyParam1 = 19;
constexpr size_t kSbFamilyParam2 = 20;
constexpr size_t kSbFamilyParam3 = 21;
constexpr size_t kSbRegListACount = 22;
constexpr size_t kSbRegListBCount = 23;
constexpr size_t kSbDeviceAddress = 24;
constexpr size_t kSbSpecialCommand = 25;
constexpr size_t kSbRegBase = 26;
constexpr size_t kSbRegEnd = 27;
constexpr size_t kSbRegFirst = 28;
constexpr size_t kSbChipParamA = 29;
constexpr size_t kSbChipId = 30; // 30..31
constexpr size_t kSbImageCheckWord = 32;
constexpr size_t kSbImageSum = 34;
constexpr size_t kSbRangeCheckWord = 40;
constexpr size_t kSbRangeSum = 42;
constexpr size_t kSbRefCheckWord = 44;
constexpr size_t kSbRefSum = 46;
constexpr size_t kSbRecordCount = 48;
constexpr size_t kSbChipParamWord = 50;
constexpr size_t kSbChipInTime = 54;
constexpr size_t kSbTakeOffTime = 55;
constexpr size_t kSbPowerOnTime = 56;
constexpr size_t kSbClockDivisor = 58;
constexpr size_t kSbChipConfig = 60; // 60..63
constexpr size_t kSbQuantityLimitOn = 80;
constexpr size_t kSbQuantityLimit = 82; // 82..85

struct TSettingsBlock {
    std::array<uint8_t, kSettingsBlockSize> Bytes{};
};

// A pseudo-random byte 0..254 (never 255). The generator lives in the
// context; it seeds itself from the system on first use.
uint8_t PacketRandomByte(VltContext &ctx);

// The block from the context's chip settings, multi-byte values
// little-endian, unused bytes zero, bytes 4 and 6..9 random. With
// MemoryImageFlag set the list B count goes out as 0.
TSettingsBlock MakeSettingsBlock(VltContext &ctx);

// Writes the block into channel n's (1..4) packet record at `offset`;
// nothing when it would not fit.
void PutSettingsBlock(VltContext &ctx, int n, uint16_t offset);
