#include "protocol/ReadResultDisplay.h"

#include <algorithm>

#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/ChipInfoReport.h"
#include "protocol/ParamCrc16.h"
#include "state/BufferViews.h"
#include "state/VltContext.h"

namespace {

constexpr uint32_t kLastIndex = kBufferSize - 1;

} // namespace

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

void ShowReadResultNone(VltContext &) {}
