#include "app/ReadDisplay.h"

#include <algorithm>

#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/ChipInfoReport.h"
#include "protocol/Frame.h"
#include "protocol/ParamCrc16.h"
#include "protocol/VltContext.h"

namespace {

constexpr int kBytesPerRow = 16;
constexpr int kTextColumn = 17;
constexpr uint32_t kLastIndex = kBufferSize - 1;

char Printable(uint8_t b) {
    return b >= 0x20 && b <= 0x7F ? static_cast<char>(b) : '.';
}

// Rebuilds a grid from row 1 with `rows` data rows of `buf` from byte `from`;
// bytes past the buffer's end are left blank.
void FillGrid(TStringGrid &grid, const std::array<uint8_t, kBufferSize> &buf, uint32_t from, int rows,
              const char *labelFormat) {
    grid.SetRowCount(1);
    grid.SetRowCount(1 + rows);
    for (int r = 0; r < rows; ++r) {
        const uint32_t start = from + static_cast<uint32_t>(kBytesPerRow * r);
        grid.SetCell(0, r + 1, Format(labelFormat, start));
        std::string text;
        for (int c = 0; c < kBytesPerRow; ++c) {
            const uint32_t at = start + static_cast<uint32_t>(c);
            if (at > kLastIndex)
                break;
            grid.SetCell(c + 1, r + 1, Format("%0.2x", buf[at]));
            text += Printable(buf[at]);
        }
        grid.SetCell(kTextColumn, r + 1, text);
    }
    grid.FixedRows = 1;
}

} // namespace

void FillHexViewer(VltContext &ctx) {
    if (!ctx.Form)
        return;
    const uint32_t last = std::min(ctx.DataEndIndex, kLastIndex);
    FillGrid(ctx.Form->HexViewer, ctx.DataBuffer, 0, static_cast<int>(last / kBytesPerRow + 1), "0x%0.8x");
}

void FillReadView(VltContext &ctx, uint16_t from, uint16_t to) {
    if (!ctx.Form)
        return;
    ctx.Form->TabSheetRd.TabVisible = true;
    const int rows = to >= from ? (to - from) / kBytesPerRow + 1 : 0;
    FillGrid(ctx.Form->ReadView, ctx.ReadBuffer, from, rows, "0x%0.4x");
}

void ShowReadChecksums(VltContext &ctx, uint16_t from, uint16_t to) {
    const uint16_t acc = SumFrom(ctx.ReadBuffer, from, to, 0);
    const uint16_t crc = FrameChecksumFrom(ctx.ReadBuffer, from, to, 0);
    FillReadView(ctx, from, to);
    if (!ctx.Form)
        return;
    ctx.Form->InfoMemo.Add("");
    ctx.Form->AddInfoLine(Format("Read Data ACC CheckSum = 0x%0.4x", acc));
    ctx.Form->AddInfoLine(Format("Read Data CRC CheckSum = 0x%0.4x", crc));
    ctx.Form->InfoMemo.Add("");
}

void ShowReadResult(VltContext &ctx) {
    if (ctx.DataLoaded == 0) {
        uint32_t end;
        if (ctx.ChipFamily == 224 || ctx.ChipFamily == 64)
            end = 255;
        else if (ctx.ChipSubType < 16)
            end = (8u * ctx.RecordCount) | 0x0F;
        else
            end = (4u * ctx.FamilyParam2) | 0x0F;
        // The viewers show at most the whole buffer.
        ctx.DataEndIndex = std::min(end, kLastIndex);
    }
    if (ctx.ChipFamily == 64) {
        ctx.DataEndIndex = 255;
        if (ctx.Form)
            ctx.Form->AddInfoLine(
                Format("Read APARAM Data CRC CheckSum = 0x%0.4x", ParamCrc16(ctx.ReadBuffer, 0, 127)));
    }
    ShowReadChecksums(ctx, 0, static_cast<uint16_t>(std::min(ctx.DataEndIndex, kLastIndex)));

    if ((ctx.ChipSubType & 0xF0) != 0x10)
        return;
    for (size_t rec = 0; rec < 15; ++rec) {
        if (ctx.ReadBuffer[4 * rec] != 9)
            continue;
        const int v = ctx.ReadBuffer[4 * rec + 1] >> 6;
        const int left = v == 0 ? 2 : v == 1 ? 1 : 0;
        if (ctx.Form) {
            ctx.Form->InfoMemo.Add("");
            ctx.Form->AddInfoLine(Format("Current OTP has %d Times to Programing!", left));
        }
        return;
    }
}

void ShowChipInformation(VltContext &ctx) {
    const uint16_t records = static_cast<uint16_t>(4 * ctx.RecordCount);
    FillReadView(ctx, 0, static_cast<uint16_t>(records - 1));
    if (!ctx.Form)
        return;
    ctx.Form->InfoMemo.Add("");
    ctx.Form->InfoMemo.Add("> Read Chip Information is Following : ");

    // The information block follows the records, on a 16-byte row; offsets wrap in 16 bits.
    const uint16_t base = static_cast<uint16_t>((records + 52) & 0xFFF0);
    auto at = [&](int k) { return ctx.ReadBuffer[static_cast<uint16_t>(base + k)]; };
    auto nibble = [](int v) { return static_cast<char>(0x30 + v); };
    std::string line = "  * Chip is Si";
    line += nibble(at(1) >> 4);
    line += nibble(at(1) & 0x0F);
    line += nibble(at(0) >> 4);
    line += nibble(at(0) & 0x0F);
    line += CharOfCode(static_cast<uint8_t>(0x41 + at(2)));
    line += "-";
    line += CharOfCode(static_cast<uint8_t>(0x41 + at(3)));
    const uint8_t bank = at(30);
    const int banks = bank == 0x3F ? 0 : bank == 0x0F ? 1 : bank == 0x03 ? 2 : 3;
    line += Format(",Chip has %d Bank to be used!", banks);
    ctx.Form->InfoMemo.Add(line);
    ctx.Form->InfoMemo.Add(Format("  * Chip Device Address is 0x%0.2x", at(9)));
}

void ShowReadParamChecksum(VltContext &ctx) {
    if (ctx.Form)
        ctx.Form->AddInfoLine(Format("Read Data ACC CheckSum = 0x%0.4x", SumFrom(ctx.ReadBuffer, 0, 255, 0)));
    uint16_t n = ctx.RegEnd;
    if (ctx.FamilyParam1 & 0x04)
        n = static_cast<uint16_t>(2 * n);
    FillReadView(ctx, 0, n);
}

void ShowReadResultNone(VltContext &) {}
