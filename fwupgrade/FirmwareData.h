#pragma once
// The firmware the upgrade tool writes into the programmer, and the constants
// its data block masks are made of. Supplied with the build (see
// fwupgrade/CMakeLists.txt); the shipped defaults are placeholders.
#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kFirmwareImageSize = 24576;
constexpr size_t kImageKeyTableSize = 320;
constexpr size_t kFirmwareBlockSize = 2048;
constexpr size_t kFirmwareBlocks = kFirmwareImageSize / kFirmwareBlockSize; // 12
// Device word address of the first word of the image; 1024 words per block.
constexpr uint16_t kFirmwareBaseAddr = 0x2000;
constexpr uint16_t kFirmwareWordsPerBlock = 1024;

// Block b holds device words 0x2000 + 1024 b .. + 1023, two bytes per word.
extern const std::array<uint8_t, kFirmwareImageSize> FirmwareImage;
// Each block takes its two mask bytes from here (see BlockScramble.h).
extern const std::array<uint8_t, kImageKeyTableSize> ImageKeyTable;
// Constant bytes XORed into mask byte 0 and mask byte 1.
extern const std::array<uint8_t, 2> ImageMaskConst;
