#include "state/BufferViews.h"

#include <algorithm>

#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "state/CheckWords.h"
#include "state/VltContext.h"

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

void ShowReadParamChecksum(VltContext &ctx) {
    if (ctx.Form)
        ctx.Form->AddInfoLine(Format("Read Data ACC CheckSum = 0x%0.4x", SumFrom(ctx.ReadBuffer, 0, 255, 0)));
    uint16_t n = ctx.RegEnd;
    if (ctx.FamilyParam1 & 0x04)
        n = static_cast<uint16_t>(2 * n);
    FillReadView(ctx, 0, n);
}
