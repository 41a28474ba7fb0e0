#include "datafiles/LoadSummaries.h"

#include <algorithm>

#include "datafiles/AhexFiles.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "protocol/ParamCrc16.h"
#include "state/BufferViews.h"
#include "state/VltContext.h"

const char *const kDotsLine = ".........................................................";

namespace {

constexpr uint32_t kLast = kBufferSize - 1;

uint16_t Low16(uint32_t v) {
    return static_cast<uint16_t>(v & 0xFFFF);
}

void AddressLine(VltContext &ctx) {
    AddSummaryLine(ctx, Format("Chip Device Address is : 0x%0.2x.", ctx.DeviceAddress));
}
void CountLine(VltContext &ctx) {
    AddSummaryLine(ctx, Format("Total %d Commands To Be Written!", ctx.RecordCount));
}
void AccLine(VltContext &ctx, uint16_t sum) {
    AddSummaryLine(ctx, Format("Buffer Data ACC CheckSum = 0x%0.4x", sum));
}
void CrcLine(VltContext &ctx) {
    AddSummaryLine(ctx, Format("Buffer Data CRC CheckSum = 0x%0.4x", ctx.ImageCheckWord));
}

// The last index of `kb` kilobytes, kept inside the buffer.
uint16_t LastOfKB(uint16_t kb) {
    return Low16(uint32_t{kb} * 1024 - 1);
}

} // namespace

void AddDotsLine(VltContext &ctx) {
    if (ctx.Form)
        ctx.Form->InfoMemo.Add(kDotsLine);
}

void AddSummaryLine(VltContext &ctx, const std::string &text) {
    if (ctx.Form)
        ctx.Form->AddInfoLine(text);
}

void ImageChecksumsOver(VltContext &ctx, uint16_t first, uint16_t last) {
    ctx.ImageCheckWord = FrameChecksum(ctx.DataBuffer, first, last);
    ctx.ImageSum = SumFrom(ctx.DataBuffer, first, last, 0);
    AccLine(ctx, ctx.ImageSum);
    CrcLine(ctx);
}

void HfgChecksums(VltContext &ctx) {
    ctx.DataStartIndex = 0;
    ctx.DataEndIndex = 255;
    ImageChecksumsOver(ctx, 0, 1023);
}

void ShowHfgSummary(VltContext &ctx) {
    HfgChecksums(ctx);
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddressLine(ctx);
    CountLine(ctx);
    AddDotsLine(ctx);
}

void ShowProjSummary(VltContext &ctx) {
    // Records are code, length, data. The walk stops at a zero length byte,
    // or before a record that would run past the end of the buffer.
    uint32_t p = 0;
    ctx.RecordCount = 0;
    ctx.DataEndIndex = 0;
    while (p + 1 <= kLast && ctx.DataBuffer[p + 1] != 0) {
        const uint32_t next = p + 2 + ctx.DataBuffer[p + 1];
        if (next > kLast)
            break;
        p = next;
        ++ctx.RecordCount;
        ctx.DataEndIndex = p;
    }
    CountLine(ctx);
    ImageChecksumsOver(ctx, 0, LastOfKB(ctx.DataKB));
    FillHexViewer(ctx);
}

namespace {

void AhexImageChecksums(VltContext &ctx) {
    ctx.DataStartIndex = 0;
    ImageChecksumsOver(ctx, 0, Low16(ctx.DataEndIndex) | 0x0FFF);
}

void ShowAhexLines(VltContext &ctx) {
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddSummaryLine(ctx, Format("Total %d Block Data To Be Burned!", ctx.RecordCount));
    AddDotsLine(ctx);
}

} // namespace

void AhexChecksums(VltContext &ctx) {
    const uint16_t blocks = std::min<uint16_t>(ctx.RecordCount, kAhexTableSize / kAhexHeaderSize);
    auto &buf = ctx.DataBuffer;
    for (uint16_t b = 0; b < blocks; ++b) {
        const uint32_t h = 8u * b;
        const uint16_t count = GetU16(buf, h + 2);
        const uint16_t start = GetU16(buf, h + 4);
        const auto last = static_cast<uint16_t>(start + 2 * count - 1);
        const uint16_t crc = count == 0 ? 0 : ParamCrc16(buf, start, last);
        AddSummaryLine(ctx, Format("APARAM Data CRC CheckSum = 0x%0.4x", crc));
        PutU16(buf, h + 6, crc);
    }
    AhexImageChecksums(ctx);
}

void ShowAhexSummary(VltContext &ctx) {
    AhexChecksums(ctx);
    ShowAhexLines(ctx);
}

void ShowAhexImageSummary(VltContext &ctx) {
    AhexImageChecksums(ctx);
    ShowAhexLines(ctx);
}

void PyChecksums(VltContext &ctx) {
    ctx.DataStartIndex = 0;
    ctx.DataEndIndex = 4u * ctx.RecordCount - 1;
    ImageChecksumsOver(ctx, 0, 4095);
}

void ShowPySummary(VltContext &ctx) {
    PyChecksums(ctx);
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddressLine(ctx);
    CountLine(ctx);
    const uint16_t s =
        ctx.RecordCount == 0 ? 0 : SumFrom(ctx.DataBuffer, 0, Low16(std::min(ctx.DataEndIndex, kLast)), 0);
    AddSummaryLine(ctx, Format("Chip Actual Data ACC Sun is : 0x%0.4x.", s));
    AddDotsLine(ctx);
}

void ConfigTxtChecksums(VltContext &ctx) {
    ctx.DataSize = static_cast<uint16_t>(4 * (ctx.PreambleCount + ctx.PostambleCount) + 4 * ctx.RecordCount);
    ctx.DataKB = std::max<uint16_t>(static_cast<uint16_t>((ctx.DataSize + 1023) / 1024), 4);
    ctx.DataStartIndex = 0;
    ctx.DataEndIndex = ctx.DataSize | 0x0Fu;
    ctx.FamilyParam1 = static_cast<uint8_t>(ctx.ConfigDelay);
    ctx.FamilyParam2 = static_cast<uint8_t>(ctx.PreambleCount);
    ctx.FamilyParam3 = static_cast<uint8_t>(ctx.PostambleCount);
    ImageChecksumsOver(ctx, 0, LastOfKB(ctx.DataKB));
}

void ShowConfigTxtSummary(VltContext &ctx) {
    ConfigTxtChecksums(ctx);
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddressLine(ctx);
    CountLine(ctx);
    AddDotsLine(ctx);
}

void BinDefaultsChecksums(VltContext &ctx) {
    ctx.DataStartIndex = 0;
    ctx.DataEndIndex = (ctx.FamilyParam1 & 0x04) ? 2u * ctx.RegEnd + 1 : ctx.RegEnd;
    // The panel shows the sum of the register bytes; the stored one covers 4 KB.
    const uint16_t shown = SumFrom(ctx.DataBuffer, 0, 255, 0);
    ctx.ImageCheckWord = FrameChecksum(ctx.DataBuffer, 0, 4095);
    ctx.ImageSum = SumFrom(ctx.DataBuffer, 0, 4095, 0);
    AccLine(ctx, shown);
    CrcLine(ctx);
}

void ShowBinDefaultsSummary(VltContext &ctx) {
    BinDefaultsChecksums(ctx);
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddressLine(ctx);
    AddDotsLine(ctx);
}

void RawBinChecksums(VltContext &ctx) {
    ImageChecksumsOver(ctx, Low16(ctx.ChecksumStart), Low16(ctx.ChecksumEnd));
}

void ShowRawBinSummary(VltContext &ctx) {
    RawBinChecksums(ctx);
    FillHexViewer(ctx);
    AddDotsLine(ctx);
    AddressLine(ctx);
    AddDotsLine(ctx);
}

void BufferChecksums0(VltContext &ctx) {
    ctx.DataStartIndex = 0;
    const uint32_t size = ctx.ChipSubType < 0x10 ? 8u : 4u;
    // A full buffer of records ends at the buffer's last index.
    ctx.DataEndIndex = std::min((size * ctx.RecordCount) | 0x0Fu, kLast);
    ImageChecksumsOver(ctx, 0, 4095);
}
