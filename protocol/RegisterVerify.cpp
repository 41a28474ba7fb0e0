#include "protocol/RegisterVerify.h"

#include <algorithm>

#include "forms/ProgramVLTForm.h"
#include "platform/Format.h"
#include "protocol/ChannelOps.h"
#include "state/RegisterListLookup.h"
#include "state/VltContext.h"

namespace {

constexpr uint8_t kVerifyFailed = 0x31;

// Payload offset p is packet byte 8 + p; a walk reads no further than the packet area.
constexpr size_t kPayloadStart = 8;
constexpr size_t kPayloadSize = kPacketSize - kPayloadStart;

const uint8_t *Payload(const VltContext &ctx, int n) {
    return ctx.PacketBuf[static_cast<size_t>(n - 1)].data() + kPayloadStart;
}

bool ValidChannel(int n) {
    return n >= 1 && n <= kChannels;
}

void FinishVerify(VltContext &ctx, int n, uint8_t fail) {
    if (fail == 0)
        MemoDeviceLine(ctx, n, "Chip Verify Success!");
    EndOperation(ctx, n, fail);
    ShowStatusMessage(ctx, n, static_cast<uint8_t>(fail & 0x7F));
}

} // namespace

uint8_t ReplyTableLookup(const VltContext &ctx, int n, uint8_t key) {
    if (!ValidChannel(n))
        return 0;
    const uint8_t *p = Payload(ctx, n);
    uint8_t result = 0;
    for (size_t t = 0; t < 22; ++t)
        if (p[4 * t] == key)
            result = p[4 * t + 1];
    return result;
}

void VerifyRegsA(VltContext &ctx, int n) {
    if (!ValidChannel(n))
        return;
    uint8_t fail = 0;
    const size_t count = std::min<size_t>(ctx.RecordCount, kBufferSize / 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *e = &ctx.DataBuffer[4 * i];
        const uint8_t key = e[0];
        const uint8_t data = e[1] & e[2];
        const uint8_t chip = ReplyTableLookup(ctx, n, key) & e[2];
        if (data != chip) {
            fail = kVerifyFailed;
            MemoDeviceLine(
                ctx, n, Format("Verify Fail,Register=0x%0.2x,Buffer=0x%0.2x,Chip=0x%0.2x!", key, data, chip));
        }
    }
    FinishVerify(ctx, n, fail);
}

void VerifyCmdList(VltContext &ctx, int n) {
    if (!ValidChannel(n))
        return;
    const uint8_t *p = Payload(ctx, n);
    const bool ignoreSpecial = ctx.Form && ctx.Form->ChkBoxVfyE1.Checked();
    uint8_t fail = 0;
    const size_t count = std::min<size_t>(ctx.RecordCount, kBufferSize / 8);
    for (size_t i = 0; i < count; ++i) {
        const size_t r = 8 * i;
        const uint8_t code = ctx.DataBuffer[r];
        if (code == 0)
            continue;
        if (code == ctx.SpecialCommand && ignoreSpecial)
            continue;
        const size_t len = ctx.DataBuffer[r + 1];
        bool differs = false;
        for (size_t j = 0; j < len && !differs; ++j) {
            for (size_t w : {r + 2 + j, r + 4 + j, r + 6 + j}) {
                // Positions past the reply's area or the buffer are not compared.
                if (w >= kPayloadSize || w >= kBufferSize)
                    break;
                if (ctx.DataBuffer[w] != p[w]) {
                    fail = kVerifyFailed;
                    MemoDeviceLine(ctx, n,
                                   Format("Verify Fail,Command=0x%0.2x,Buffer=0x%0.2x,Chip=0x%0.2x!", code,
                                          ctx.DataBuffer[w], p[w]));
                    differs = true;
                    break;
                }
            }
        }
    }
    FinishVerify(ctx, n, fail);
}

void VerifyRegsFam48(VltContext &ctx, int n) {
    if (!ValidChannel(n))
        return;
    const uint8_t *p = Payload(ctx, n);
    uint8_t fail = 0;
    uint8_t page = 0; // until the first page entry
    // Entry i is read back at payload offset 4i + 3.
    const size_t count = std::min<size_t>({ctx.RecordCount, kBufferSize / 4, kPayloadSize / 4});
    for (size_t i = 0; i < count; ++i) {
        const uint8_t *e = &ctx.DataBuffer[4 * i];
        if (e[0] > 0x10)
            continue;
        if (e[2] == 0xFF)
            page = e[3];
        if (e[2] >= 0xE0)
            continue;
        const uint16_t key = static_cast<uint16_t>(page << 8 | e[2]);
        const uint8_t data = e[3];
        const uint8_t chip = p[4 * i + 3];
        if (IsInRegListA(ctx, key))
            continue;
        const uint8_t mask = RegMaskOfListB(ctx, key);
        uint8_t d = data & mask;
        uint8_t c = chip & mask;
        if (key == 0x0010) {
            d &= 0x3F;
            c &= 0x3F;
        }
        if (d != c) {
            fail = kVerifyFailed;
            MemoDeviceLine(
                ctx, n, Format("Verify Fail,Register=0x%0.4x,Buffer=0x%0.2x,Chip=0x%0.2x!", key, data, chip));
        }
    }
    FinishVerify(ctx, n, fail);
}

void VerifyRegsFam5(VltContext &ctx, int n) {
    if (!ValidChannel(n))
        return;
    const uint8_t *p = Payload(ctx, n);
    uint8_t fail = 0;
    const size_t s = static_cast<uint16_t>(4 * ctx.PreambleCount);
    for (size_t i = 0; i < ctx.RecordCount; ++i) {
        const size_t at = s + 4 * i;
        // Byte 2 is read back at the same payload offset.
        if (at + 2 >= kPayloadSize || at + 3 >= kBufferSize)
            break;
        const uint8_t *e = &ctx.DataBuffer[at];
        const uint16_t address = static_cast<uint16_t>(e[0] | e[1] << 8);
        if (address == 0x000B || address == 0x053A || address == 0x053B)
            continue;
        const uint8_t data = e[2];
        const uint8_t chip = p[at + 2];
        if (data != chip) {
            fail = kVerifyFailed;
            MemoDeviceLine(
                ctx, n,
                Format("Verify Fail,Register=0x%0.4x,Buffer=0x%0.2x,Chip=0x%0.2x!", address, data, chip));
        }
    }
    FinishVerify(ctx, n, fail);
}

void VerifyRegsFam16(VltContext &ctx, int n) {
    if (!ValidChannel(n))
        return;
    const uint8_t *p = Payload(ctx, n);
    uint8_t fail = 0;
    const bool wide = (ctx.FamilyParam1 & 0x04) != 0;
    for (unsigned i = ctx.RegFirst; i <= ctx.RegEnd; ++i) {
        if (wide) {
            const uint16_t data =
                static_cast<uint16_t>(ctx.DataBuffer[2 * i] | ctx.DataBuffer[2 * i + 1] << 8);
            const uint16_t chip = static_cast<uint16_t>(p[2 * i] | p[2 * i + 1] << 8);
            if (data != chip) {
                fail = kVerifyFailed;
                MemoDeviceLine(
                    ctx, n,
                    Format("Verify Fail,Register=0x%0.2x,Buffer=0x%0.4x,Chip=0x%0.4x!", i, data, chip));
            }
        } else {
            const uint8_t data = ctx.DataBuffer[i];
            const uint8_t chip = p[i];
            if (data != chip && !IsFlaggedCodeTag2(ctx, static_cast<uint16_t>(i))) {
                fail = kVerifyFailed;
                MemoDeviceLine(
                    ctx, n,
                    Format("Verify Fail,Register=0x%0.2x,Buffer=0x%0.2x,Chip=0x%0.2x!", i, data, chip));
            }
        }
    }
    FinishVerify(ctx, n, fail);
}

void VerifyBlockFam64(VltContext &ctx, int n) {
    if (!ValidChannel(n))
        return;
    const uint8_t *p = Payload(ctx, n);
    bool failed = false;
    for (size_t i = 0; i < 128 && !failed; ++i)
        failed = i != 120 && p[i] != ctx.DataBuffer[256 + i];
    if (!failed) {
        MemoDeviceLine(ctx, n, "Chip Verify Success!");
        EndOperation(ctx, n, 0);
    } else {
        EndOperation(ctx, n, kVerifyFailed);
        ShowStatusMessage(ctx, n, kVerifyFailed);
    }
}

// Family 224 has no verify: the operation runs on until its time-out.
void VerifyNoneFam224(VltContext &, int) {}
