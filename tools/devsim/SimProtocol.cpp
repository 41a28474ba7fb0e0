#include "tools/devsim/SimProtocol.h"

#include <algorithm>
#include <cstring>

#include "fwupgrade/BlockScramble.h"
#include "fwupgrade/FirmwareData.h"
#include "protocol/BuildConstants.h"
#include "protocol/CommandPackets.h"
#include "protocol/Frame.h"
#include "tools/devsim/SimPackets.h"

namespace {

constexpr uint8_t kMagic[4] = {'Q', 'D', 'X', 'R'};

constexpr uint16_t kFwBaseAddr = 0x2000;
constexpr uint16_t kFwWordsPerBlock = 0x400;
constexpr uint8_t kFwBlockMarker = 0x0F;
constexpr uint16_t kFwEndAddr = 0x4FFF;
constexpr uint8_t kFwVerifyMarker = 0xF1;
constexpr size_t kFwVerifyPayload = 32;

uint16_t PayloadLen(std::span<const uint8_t> p) {
    return GetU16(p, kPktLength);
}

std::string TextField(std::span<const uint8_t> p, size_t at) {
    std::string s;
    for (size_t i = 0; i < kTextFieldWidth && p[at + i] != 0; ++i)
        s.push_back(static_cast<char>(p[at + i]));
    return s;
}

} // namespace

TSimProtocol::TSimProtocol(const TSimOptions &opt)
    : ChipInfo(opt.ChipInfo), ExpCheckSum1(opt.ExpCheckSum1), ExpCheckSum2(opt.ExpCheckSum2) {
    Chip.Image.assign(kSimImageSize, opt.ImageFill);
    Chip.Registers.assign(kSimRegisterSpace, opt.RegisterFill);
    Name = std::string(kSimDeviceIdentifier) + opt.NameSuffix;
    SetupConst = opt.SetupMaskConst.value_or(kSetupMaskConst);
    FwImage = opt.FirmwareImage.empty() ? std::vector<uint8_t>(FirmwareImage.begin(), FirmwareImage.end())
                                        : opt.FirmwareImage;
    KeyTable = opt.ImageKeyTable.empty() ? std::vector<uint8_t>(ImageKeyTable.begin(), ImageKeyTable.end())
                                         : opt.ImageKeyTable;
    FwConst = opt.BlockMaskConst.value_or(ImageMaskConst);
}

std::vector<uint8_t> TSimProtocol::Handle(std::span<const uint8_t> p) {
    if (SimIsProbe(p))
        return SimProbeReply(Name);
    if (p.size() < kPktOverhead || kPktOverhead + PayloadLen(p) != p.size())
        return SimStatusReply(p, kSimDataPacketError);
    uint16_t last = static_cast<uint16_t>(p.size() - 3);
    if (FrameChecksum(p, 0, last) != GetU16(p, p.size() - 2))
        return SimStatusReply(p, kSimPacketError);
    switch (p[kPktCommand]) {
    case CmdSetup:
        return OnSetup(p);
    case CmdDataBlock:
        return OnDataBlock(p);
    case CmdCloseDownload:
    case CmdCloseProgram:
        return SimStatusReply(p, kSimOk);
    case CmdReadInfo:
        return OnChipInfo(p);
    case CmdProgram:
        return OnProgram(p);
    case CmdVerifyRead:
        return OnRead(p);
    case 0xB7:
        return OnFwBlock(p);
    case 0xBA:
        return OnFwVerify(p);
    default:
        return SimStatusReply(p, kSimUnknownCommand);
    }
}

std::vector<uint8_t> TSimProtocol::OnSetup(std::span<const uint8_t> p) {
    if (p.size() != kSetupPacketLen || p[kPktMarker] != kPacketMarker)
        return SimStatusReply(p, kSimDataPacketError);
    std::vector<uint8_t> plain(p.begin(), p.end());
    UnscrambleSetupPacket(plain, SetupConst);
    bool valid = std::equal(kMagic, kMagic + 4, plain.begin() + 8) &&
                 FrameChecksum(plain, 8, kSetupCheck1At - 1) == GetU16(plain, kSetupCheck1At) &&
                 SumFrom(plain, 8, kSetupSum1At - 1, 0) == GetU16(plain, kSetupSum1At) &&
                 FrameChecksum(plain, 8, kSetupCheck2At - 1) == GetU16(plain, kSetupCheck2At) &&
                 SumFrom(plain, 8, kSetupSum2At - 1, 0) == GetU16(plain, kSetupSum2At);
    Setup.Valid = valid;
    std::copy_n(plain.begin() + kSetupSettingsAt, kSettingsBlockSize, Setup.Settings.begin());
    Setup.ChipName = TextField(plain, kSetupChipNameAt);
    Setup.FileName = TextField(plain, kSetupFileNameAt);
    Setup.Plain = std::move(plain);
    if (!valid)
        return SimStatusReply(p, kSimDataPacketError);
    Downloads.clear();
    return SimStatusReply(p, kSimOk);
}

std::vector<uint8_t> TSimProtocol::OnDataBlock(std::span<const uint8_t> p) {
    if (PayloadLen(p) != kDataBlockPayload || p[kPktMarker] != kPacketMarker)
        return SimStatusReply(p, kSimDataPacketError);
    uint16_t kb = GetU16(p, kPktArgument);
    Downloads[kb].assign(p.begin() + kPktPayload, p.begin() + kPktPayload + kDataBlockPayload);
    return SimStatusReply(p, kSimOk);
}

std::vector<uint8_t> TSimProtocol::OnProgram(std::span<const uint8_t> p) {
    if (PayloadLen(p) != kFullPayload || p[kPktMarker] != kPacketMarker)
        return SimStatusReply(p, kSimDataPacketError);
    auto settings = p.subspan(kPktPayload, kSettingsBlockSize);
    if (SimIsRegisterFamily(p[kPktFamily])) {
        SimProgramRegisters(Chip, settings, p.subspan(kFullDataAt, kSimDataArea));
    } else {
        // An image chip is written from what was downloaded.
        for (const auto &[kb, block] : Downloads)
            for (size_t i = 0; i < block.size(); ++i)
                Chip.Image[(size_t(kb) * 1024 + i) % kSimImageSize] = block[i];
    }
    return SimStatusReply(p, kSimOk);
}

std::vector<uint8_t> TSimProtocol::OnRead(std::span<const uint8_t> p) {
    if (p[kPktMarker] != kPacketMarker)
        return SimStatusReply(p, kSimDataPacketError);
    std::vector<uint8_t> out(kSimDataArea);
    if (PayloadLen(p) == kSettingsPayload) {
        // One 4 KB block of the image at the argument's KB offset.
        size_t base = size_t(GetU16(p, kPktArgument)) * 1024;
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = Chip.Image[(base + i) % kSimImageSize];
    } else if (PayloadLen(p) == kFullPayload) {
        SimReadOutRegisters(Chip, p.subspan(kPktPayload, kSettingsBlockSize),
                            p.subspan(kFullDataAt, kSimDataArea), out);
    } else {
        return SimStatusReply(p, kSimDataPacketError);
    }
    return SimReply(p, out);
}

std::vector<uint8_t> TSimProtocol::OnChipInfo(std::span<const uint8_t> p) {
    if (PayloadLen(p) != kSettingsPayload || p[kPktMarker] != kPacketMarker)
        return SimStatusReply(p, kSimDataPacketError);
    std::vector<uint8_t> out(kSimInfoPayload);
    SimChipInfoPayload(Chip, p[kPktFamily], ChipInfo, out);
    return SimReply(p, out);
}

std::vector<uint8_t> TSimProtocol::OnFwBlock(std::span<const uint8_t> p) {
    uint8_t b = p[3];
    bool headerOk = PayloadLen(p) == kSimFwBlockSize && b < kSimFwBlocks &&
                    GetU16(p, kPktArgument) == kFwBaseAddr + kFwWordsPerBlock * b && p[4] == kSimFwBlocks &&
                    p[5] == kFwBlockMarker;
    // Block 0 starts an upgrade over; the others must follow in order.
    if (!headerOk || (b != 0 && b != NextFwBlock))
        return SimStatusReply(p, kSimFormatError);
    if (b == 0)
        for (auto &blk : FwBlocks)
            blk.clear();
    auto &blk = FwBlocks[b];
    blk.resize(kSimFwBlockSize);
    ApplyBlockMask(BlockMask(b, KeyTable, FwConst), p.subspan(kPktPayload, kSimFwBlockSize), blk);
    NextFwBlock = b + 1u;
    return SimStatusReply(p, kSimOk);
}

std::vector<uint8_t> TSimProtocol::OnFwVerify(std::span<const uint8_t> p) {
    if (GetU16(p, kPktArgument) != kFwEndAddr || p[3] != kFwVerifyMarker)
        return SimStatusReply(p, kSimFormatError);
    bool good = FwImage.size() == kSimFwImageSize;
    std::vector<uint8_t> stored;
    for (size_t b = 0; b < kSimFwBlocks; ++b) {
        const auto &blk = FwBlocks[b];
        good = good && blk.size() == kSimFwBlockSize &&
               std::equal(blk.begin(), blk.end(), FwImage.begin() + b * kSimFwBlockSize);
        if (blk.empty())
            stored.insert(stored.end(), kSimFwBlockSize, 0xFF);
        else
            stored.insert(stored.end(), blk.begin(), blk.end());
    }
    uint16_t w1 = ExpCheckSum1, w2 = ExpCheckSum2;
    if (!good) {
        // Words of what the flash holds, never the expected pair.
        w1 = FrameChecksum(stored, 0, static_cast<uint16_t>(stored.size() - 1));
        w2 = SumFrom(stored, 0, static_cast<uint16_t>(stored.size() - 1), 0);
        if (w1 == ExpCheckSum1 && w2 == ExpCheckSum2)
            w1 ^= 1;
    }
    std::array<uint16_t, 4> words = InjectedVerifyWords.value_or(std::array<uint16_t, 4>{w2, w1, w1, w2});
    InjectedVerifyWords.reset();
    std::vector<uint8_t> out(kFwVerifyPayload, 0);
    PutU16(out, 0, words[0]);
    PutU16(out, 2, words[1]);
    PutU16(out, 16, words[2]);
    PutU16(out, 18, words[3]);
    return SimReply(p, out);
}
