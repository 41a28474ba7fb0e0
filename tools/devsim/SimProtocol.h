#pragma once
// What a simulated programmer does with one decoded frame: the gang
// programmer's commands and the firmware upgrade protocol. No I/O and no
// locking here; TSimDevice feeds it from its thread under its lock.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "tools/devsim/SimChip.h"
#include "tools/devsim/SimDevice.h"

// Status codes the device answers with.
constexpr uint8_t kSimOk = 0x00;
constexpr uint8_t kSimDataPacketError = 0x20;
constexpr uint8_t kSimPacketError = 0x23; // check word wrong
constexpr uint8_t kSimUnknownCommand = 0x25;
constexpr uint8_t kSimFormatError = 0x2A; // upgrade block header or order wrong

class TSimProtocol {
public:
    explicit TSimProtocol(const TSimOptions &opt);

    // The reply to a decoded packet (empty: no reply). `packet` is what the
    // frame decoder produced, probes included.
    std::vector<uint8_t> Handle(std::span<const uint8_t> packet);

    // The next 0xBA reply carries these words instead of the computed ones.
    std::optional<std::array<uint16_t, 4>> InjectedVerifyWords;

    TSimChip Chip;
    std::map<uint16_t, std::vector<uint8_t>> Downloads; // KB offset -> 4096 bytes
    TSimSetup Setup;
    std::array<std::vector<uint8_t>, kSimFwBlocks> FwBlocks;
    std::string Name;

private:
    std::vector<uint8_t> OnSetup(std::span<const uint8_t> p);
    std::vector<uint8_t> OnDataBlock(std::span<const uint8_t> p);
    std::vector<uint8_t> OnProgram(std::span<const uint8_t> p);
    std::vector<uint8_t> OnRead(std::span<const uint8_t> p);
    std::vector<uint8_t> OnChipInfo(std::span<const uint8_t> p);
    std::vector<uint8_t> OnFwBlock(std::span<const uint8_t> p);
    std::vector<uint8_t> OnFwVerify(std::span<const uint8_t> p);

    std::vector<uint8_t> ChipInfo;
    std::array<uint8_t, 2> SetupConst{};
    std::vector<uint8_t> FwImage;
    std::vector<uint8_t> KeyTable;
    std::array<uint8_t, 2> FwConst{};
    uint16_t ExpCheckSum1, ExpCheckSum2;
    size_t NextFwBlock = 0;
};
