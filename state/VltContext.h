#pragma once
// The gang programmer's working data: buffers, chip settings, flags and the
// four channel records, plus the window, ports and dialogs it works through.
// One object per program, created by main or a test and passed by reference.
#include <array>
#include <cstdint>
#include <string>

class TComm;
struct TGauge;
struct TProgramVLT;
class TDialogs;
class TClock;

constexpr int kChannels = 4;
constexpr size_t kBufferSize = 65536;
constexpr size_t kRegListSize = 260;
constexpr size_t kPacketSize = 10240;
constexpr size_t kWireSize = 10240;
constexpr size_t kRxBufferSize = 15360;

// Operation codes of a channel.
enum : uint8_t {
    OpNone = 0,
    OpSetup = 3,
    OpDataBlocks = 5,
    OpProgram = 7,
    OpVerify = 10,
    OpReadInfo = 16,
    OpReadChip = 21,
    OpIdle = 48,
};

struct VltContext {
    // Shared buffers.
    std::array<uint8_t, kBufferSize> DataBuffer{};
    std::array<uint8_t, kBufferSize> ReadBuffer{};
    std::array<uint8_t, kRegListSize> RegListA{};
    std::array<uint8_t, kRegListSize> RegListB{};
    uint8_t RegListACount = 0;
    uint8_t RegListBCount = 0;
    // Keys the list filler wrote into RegListA, for the lookups: RegListACount
    // also carries the Generic-area option in bit 4 and so is not a count.
    uint8_t RegListAKeys = 0;

    // Per-channel buffers and state, index k = channel - 1.
    std::array<std::array<uint8_t, kPacketSize>, kChannels> PacketBuf{};
    std::array<std::array<uint8_t, kWireSize>, kChannels> WireBuf{};
    std::array<std::array<uint8_t, kRxBufferSize>, kChannels> ChannelRxBuffer{};
    std::array<uint16_t, kChannels> ChannelRxCount{};
    // 1 while the delimiter at the front of an idle channel's receive buffer
    // is one that closed a frame not taken, read again as an opening one.
    // Meaningless once the count was set back to 0.
    std::array<uint8_t, kChannels> ChannelRxReopened{};
    std::array<uint16_t, kChannels> ChannelTimeout{};
    std::array<uint8_t, kChannels> ChannelOpCode{};
    std::array<uint16_t, kChannels> ChannelBlockTotal{};
    std::array<uint16_t, kChannels> ChannelBlockPos{};
    std::array<TComm *, kChannels> ChannelComm{};
    std::array<TGauge *, kChannels> ChannelGauge{};
    std::array<uint8_t, kChannels> ChannelConnected{};
    std::array<uint8_t, kChannels> ChannelBusy{};

    // Result counters.
    std::array<uint32_t, kChannels> ChannelOkCount{};
    std::array<uint32_t, kChannels> ChannelNgCount{};
    uint32_t TotalOkCount = 0;
    uint32_t TotalNgCount = 0;
    uint32_t ResultsSinceLogSave = 0;
    // The log at close is being written (its error box may be open): the
    // every-2000 save waits for the next result after it, so that a close
    // never waits for two writes.
    bool LogAtCloseRunning = false;
    uint32_t ProgramCounter = 0;

    // Status flags (0 or 1).
    uint8_t MemoryImageFlag = 0;
    uint8_t DataLoaded = 0;
    uint8_t ChipChosen = 0;
    uint8_t ReadDataValid = 0;

    // Chip settings: carried byte for byte by the settings block.
    uint8_t ChipFamily = 0;
    uint8_t ChipSubType = 0;
    uint8_t AutoDetect = 0;
    uint16_t TransferKB = 0;
    uint8_t InterfaceVoltage = 0;
    uint8_t PowerFlags = 0;
    uint8_t VerifyFlags = 0;
    uint8_t FamilyParam1 = 0;
    uint8_t FamilyParam2 = 0;
    uint8_t FamilyParam3 = 0;
    uint8_t DeviceAddress = 0;
    uint8_t SpecialCommand = 0;
    uint8_t RegBase = 0;
    uint8_t RegEnd = 0;
    uint8_t RegFirst = 0;
    uint8_t ChipParamA = 0;
    std::array<uint8_t, 2> ChipId{};
    uint16_t ImageCheckWord = 0;
    uint16_t ImageSum = 0;
    uint16_t RangeCheckWord = 0;
    uint16_t RangeSum = 0;
    uint16_t RefCheckWord = 0;
    uint16_t RefSum = 0;
    uint16_t RecordCount = 0;
    uint16_t ChipParamWord = 0;
    uint8_t ChipInTime = 0;
    uint8_t TakeOffTime = 0;
    uint8_t PowerOnTime = 0;
    uint8_t ClockDivisor = 0;
    std::array<uint8_t, 4> ChipConfig{};
    uint8_t QuantityLimitOn = 0;
    uint32_t QuantityLimit = 0;

    // Chip data the settings block does not carry.
    uint16_t DataSize = 0;
    uint16_t DataKB = 0;
    uint16_t PreambleCount = 0;
    uint16_t PostambleCount = 0;
    uint16_t ConfigDelay = 0;
    uint32_t DataStartIndex = 0;
    uint32_t DataEndIndex = 0;
    uint32_t ChecksumStart = 0;
    uint32_t ChecksumEnd = 0;
    std::string ChipName;
    int ChipMenuX = 0; // where the chip menu pops up, screen coordinates
    int ChipMenuY = 0;
    std::string ProgramDir; // with a trailing '/'

    // State of the generator of the packets' random bytes; 0 until the first
    // draw seeds it. A test may set it for repeatable packets.
    uint32_t PacketRandomState = 0;

    // What the routines work through; set by main or the test.
    TProgramVLT *Form = nullptr;
    TDialogs *Dialogs = nullptr;
    TClock *Clock = nullptr;
};
