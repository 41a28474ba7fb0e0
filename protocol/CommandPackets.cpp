#include "protocol/CommandPackets.h"

#include "platform/DeviceCodePage.h"
#include "protocol/Frame.h"
#include "protocol/SettingsBlock.h"
#include "serial/Comm.h"
#include "state/VltContext.h"

#include <algorithm>

namespace {

bool ValidChannel(int n) {
    return n >= 1 && n <= kChannels;
}

std::array<uint8_t, kPacketSize> &Packet(VltContext &ctx, int n) {
    return ctx.PacketBuf[static_cast<size_t>(n - 1)];
}

void FillRandom(VltContext &ctx, std::span<uint8_t> packet, size_t first, size_t last) {
    for (size_t i = first; i <= last; ++i)
        packet[i] = PacketRandomByte(ctx);
}

void PutHeader(VltContext &ctx, std::span<uint8_t> packet, uint8_t command, uint16_t param,
               uint16_t payload) {
    PutPacketHeader(packet, command, param, ctx.ChipFamily, ctx.ChipSubType, payload);
}

} // namespace

std::array<uint8_t, 2> SetupMask(uint16_t param, std::array<uint8_t, 2> maskConst) {
    return {static_cast<uint8_t>((param & 0xFF) ^ maskConst[0]),
            static_cast<uint8_t>((param >> 8) ^ maskConst[1])};
}

void ScrambleSetupPacket(std::span<uint8_t> packet, std::array<uint8_t, 2> maskConst) {
    if (packet.size() <= kSetupScrambleLast)
        return;
    const auto mask = SetupMask(GetU16(packet, kPktArgument), maskConst);
    for (size_t i = kSetupScrambleFirst; i <= kSetupScrambleLast; ++i)
        packet[i] ^= mask[i & 1];
}

void PutTextField(VltContext &ctx, int n, const std::string &text, uint16_t offset, uint16_t width) {
    if (!ValidChannel(n))
        return;
    auto &packet = Packet(ctx, n);
    if (size_t{offset} + width > packet.size())
        return;
    // The device reads the field in its own code page, not UTF-8.
    const auto field = std::span<uint8_t>(packet).subspan(offset, width);
    const size_t used =
        ToDeviceCodePage(text.empty() ? std::string_view("?") : std::string_view(text), field);
    std::fill(field.begin() + static_cast<std::ptrdiff_t>(used), field.end(), 0);
}

uint16_t BuildSetupPacket(VltContext &ctx, int n, uint8_t command, uint16_t param,
                          const std::string &fileName) {
    if (!ValidChannel(n))
        return 0;
    auto &p = Packet(ctx, n);
    // The order matters: later steps cover earlier ones.
    PutHeader(ctx, p, command, param, kSetupPayload);
    p[kSetupMagicAt + 0] = 'Q';
    p[kSetupMagicAt + 1] = 'D';
    p[kSetupMagicAt + 2] = 'X';
    p[kSetupMagicAt + 3] = 'R';
    PutSettingsBlock(ctx, n, kSetupSettingsAt);
    FillRandom(ctx, p, kSetupRandom1First, kSetupRandom1Last);
    // Bytes 246..259 keep the record's earlier content.
    PutU16(p, kSetupCheck1At, FrameChecksum(p, 8, 259));
    PutU16(p, kSetupSum1At, SumFrom(p, 8, 261, 0));
    PutTextField(ctx, n, ctx.ChipName, kSetupChipNameAt, kTextFieldWidth);
    PutTextField(ctx, n, fileName, kSetupFileNameAt, kTextFieldWidth);
    FillRandom(ctx, p, kSetupRandom2First, kSetupRandom2Last);
    PutU16(p, kSetupCheck2At, FrameChecksum(p, 8, 515));
    PutU16(p, kSetupSum2At, SumFrom(p, 8, 517, 0));
    FillRandom(ctx, p, kSetupRandom3First, kSetupRandom3Last);
    std::copy_n(ctx.RegListA.begin(), kRegListBytesSent, p.begin() + kSetupRegListAAt);
    std::copy_n(ctx.RegListB.begin(), kRegListBytesSent, p.begin() + kSetupRegListBAt);
    ScrambleSetupPacket(p);
    return SealPacket(p);
}

uint16_t BuildDataBlock(VltContext &ctx, int n, uint8_t command, uint16_t blockPos) {
    if (!ValidChannel(n))
        return 0;
    auto &p = Packet(ctx, n);
    PutHeader(ctx, p, command, blockPos, kDataBlockPayload);
    // The source wraps at the end of the 64 KB buffer.
    const size_t from = (size_t{blockPos} * 1024) % kBufferSize;
    for (size_t i = 0; i < kDataBlockPayload; ++i)
        p[kPktPayload + i] = ctx.DataBuffer[(from + i) % kBufferSize];
    return SealPacket(p);
}

uint16_t BuildSettingsPacket(VltContext &ctx, int n, uint8_t command, uint16_t param) {
    if (!ValidChannel(n))
        return 0;
    auto &p = Packet(ctx, n);
    PutHeader(ctx, p, command, param, kSettingsPayload);
    PutSettingsBlock(ctx, n, kPktPayload);
    return SealPacket(p);
}

uint16_t BuildShortPacket(VltContext &ctx, int n, uint8_t command) {
    if (!ValidChannel(n))
        return 0;
    auto &p = Packet(ctx, n);
    static constexpr uint8_t kFixed[] = {0x52, 0x45, 0x53, 0x54, 0xA8}; // "REST", 0xA8
    p[kPktCommand] = command;
    std::copy(std::begin(kFixed), std::end(kFixed), p.begin() + 1);
    PutU16(p, kPktLength, kShortPayload);
    p[8] = 0;
    p[9] = 0;
    return SealPacket(p);
}

uint16_t BuildFullPacket(VltContext &ctx, int n, uint8_t command, uint16_t param) {
    if (!ValidChannel(n))
        return 0;
    auto &p = Packet(ctx, n);
    PutHeader(ctx, p, command, param, kFullPayload);
    PutSettingsBlock(ctx, n, kFullSettingsAt);
    std::copy_n(ctx.DataBuffer.begin(), kDataBlockPayload, p.begin() + kFullDataAt);
    std::copy_n(ctx.RegListA.begin(), kRegListBytesSent, p.begin() + kFullRegListAAt);
    std::copy_n(ctx.RegListB.begin(), kRegListBytesSent, p.begin() + kFullRegListBAt);
    return SealPacket(p);
}

bool SendChannelPacket(VltContext &ctx, int n, uint16_t len) {
    if (!ValidChannel(n) || len == 0)
        return false;
    const size_t k = static_cast<size_t>(n - 1);
    const uint16_t wireLen =
        EncodeFrame(std::span<const uint8_t>(ctx.PacketBuf[k]).first(len), ctx.WireBuf[k]);
    TComm *comm = ctx.ChannelComm[k];
    if (comm == nullptr || wireLen == 0)
        return false;
    return comm->SendData(ctx.WireBuf[k].data(), wireLen);
}

bool SendSetupPacket(VltContext &ctx, int n, uint8_t command, uint16_t param, const std::string &fileName) {
    return SendChannelPacket(ctx, n, BuildSetupPacket(ctx, n, command, param, fileName));
}

bool SendDataBlock(VltContext &ctx, int n, uint8_t command, uint16_t blockPos) {
    return SendChannelPacket(ctx, n, BuildDataBlock(ctx, n, command, blockPos));
}

bool SendSettingsPacket(VltContext &ctx, int n, uint8_t command, uint16_t param) {
    return SendChannelPacket(ctx, n, BuildSettingsPacket(ctx, n, command, param));
}

bool SendShortPacket(VltContext &ctx, int n, uint8_t command) {
    return SendChannelPacket(ctx, n, BuildShortPacket(ctx, n, command));
}

bool SendFullPacket(VltContext &ctx, int n, uint8_t command, uint16_t param) {
    return SendChannelPacket(ctx, n, BuildFullPacket(ctx, n, command, param));
}
