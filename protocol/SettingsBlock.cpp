#include "protocol/SettingsBlock.h"

#include "state/VltContext.h"

#include <algorithm>
#include <random>

namespace {

void Put16(TSettingsBlock &b, size_t at, uint16_t v) {
    b.Bytes[at] = static_cast<uint8_t>(v);
    b.Bytes[at + 1] = static_cast<uint8_t>(v >> 8);
}

} // namespace

uint8_t PacketRandomByte(VltContext &ctx) {
    uint32_t x = ctx.PacketRandomState;
    while (x == 0)
        x = std::random_device{}();
    // xorshift32: enough for padding bytes, and cheap per byte.
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    ctx.PacketRandomState = x;
    return static_cast<uint8_t>((x >> 8) % 255);
}

TSettingsBlock MakeSettingsBlock(VltContext &ctx) {
    TSettingsBlock b;
    b.Bytes[kSbMarker] = 0x3B;
    b.Bytes[kSbFamily] = ctx.ChipFamily;
    b.Bytes[kSbSubType] = ctx.ChipSubType;
    b.Bytes[kSbRandom0] = PacketRandomByte(ctx);
    b.Bytes[kSbAutoDetect] = ctx.AutoDetect;
    for (size_t i = 0; i < 4; ++i)
        b.Bytes[kSbRandom1 + i] = PacketRandomByte(ctx);
    Put16(b, kSbTransferKB, ctx.TransferKB);
    b.Bytes[kSbInterfaceVoltage] = ctx.InterfaceVoltage;
    b.Bytes[kSbPowerFlags] = ctx.PowerFlags;
    b.Bytes[kSbVerifyFlags] = ctx.VerifyFlags;
    b.Bytes[kSbFamilyParam1] = ctx.FamilyParam1;
    b.Bytes[kSbFamilyParam2] = ctx.FamilyParam2;
    b.Bytes[kSbFamilyParam3] = ctx.FamilyParam3;
    b.Bytes[kSbRegListACount] = ctx.RegListACount;
    // A memory image is compared whole: no masked registers.
    b.Bytes[kSbRegListBCount] = ctx.MemoryImageFlag ? 0 : ctx.RegListBCount;
    b.Bytes[kSbDeviceAddress] = ctx.DeviceAddress;
    b.Bytes[kSbSpecialCommand] = ctx.SpecialCommand;
    b.Bytes[kSbRegBase] = ctx.RegBase;
    b.Bytes[kSbRegEnd] = ctx.RegEnd;
    b.Bytes[kSbRegFirst] = ctx.RegFirst;
    b.Bytes[kSbChipParamA] = ctx.ChipParamA;
    b.Bytes[kSbChipId] = ctx.ChipId[0];
    b.Bytes[kSbChipId + 1] = ctx.ChipId[1];
    Put16(b, kSbImageCheckWord, ctx.ImageCheckWord);
    Put16(b, kSbImageSum, ctx.ImageSum);
    Put16(b, kSbRangeCheckWord, ctx.RangeCheckWord);
    Put16(b, kSbRangeSum, ctx.RangeSum);
    Put16(b, kSbRefCheckWord, ctx.RefCheckWord);
    Put16(b, kSbRefSum, ctx.RefSum);
    Put16(b, kSbRecordCount, ctx.RecordCount);
    Put16(b, kSbChipParamWord, ctx.ChipParamWord);
    b.Bytes[kSbChipInTime] = ctx.ChipInTime;
    b.Bytes[kSbTakeOffTime] = ctx.TakeOffTime;
    b.Bytes[kSbPowerOnTime] = ctx.PowerOnTime;
    b.Bytes[kSbClockDivisor] = ctx.ClockDivisor;
    for (size_t i = 0; i < 4; ++i)
        b.Bytes[kSbChipConfig + i] = ctx.ChipConfig[i];
    b.Bytes[kSbQuantityLimitOn] = ctx.QuantityLimitOn;
    for (size_t i = 0; i < 4; ++i)
        b.Bytes[kSbQuantityLimit + i] = static_cast<uint8_t>(ctx.QuantityLimit >> (8 * i));
    return b;
}

void PutSettingsBlock(VltContext &ctx, int n, uint16_t offset) {
    if (n < 1 || n > kChannels)
        return;
    auto &packet = ctx.PacketBuf[static_cast<size_t>(n - 1)];
    if (size_t{offset} + kSettingsBlockSize > packet.size())
        return;
    const TSettingsBlock b = MakeSettingsBlock(ctx);
    std::copy(b.Bytes.begin(), b.Bytes.end(), packet.begin() + offset);
}
