#include "app/ReceiveEvents.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <span>
#include <string>

#include "forms/Controls.h"
#include "forms/ProgramVLTForm.h"
#include "protocol/ChannelOps.h"
#include "protocol/Frame.h"
#include "protocol/HandshakeReply.h"
#include "protocol/ReplyHandling.h"
#include "serial/Comm.h"
#include "state/VltContext.h"

namespace {

// Whether the frame that the delimiter at `at` opens would pass a report's
// sum test (eight bytes that add up to 0); nothing while that frame, or the
// byte after the delimiter, is still on its way.
std::optional<bool> ReportOpensAt(std::span<const uint8_t> rx, uint16_t at, uint16_t count) {
    if (at + 1 >= count)
        return std::nullopt;
    uint8_t sum = 0;
    size_t n = 0;
    bool escape = false;
    for (size_t i = at + 1; i < count; ++i) {
        uint8_t b = rx[i];
        if (b == kFrameDelimiter)
            return n >= 8 && sum == 0;
        if (escape) {
            if (b != kEscapedDelimiter && b != kEscapedEscape)
                return false;
            b = b == kEscapedDelimiter ? kFrameDelimiter : kFrameEscape;
            escape = false;
        } else if (b == kFrameEscape) {
            escape = true;
            continue;
        }
        if (n < 8)
            sum = static_cast<uint8_t>(sum + b);
        ++n;
    }
    return std::nullopt;
}

// Whether the trailer's worth of bytes after the delimiter at `at` is a
// trailer with one byte hit; nothing while they are on their way. No report
// opens with four 0xFF of five: its first byte and its stage are never 0xFF.
std::optional<bool> TrailerWithOneByteHit(std::span<const uint8_t> rx, uint16_t at, uint16_t count) {
    size_t trailerBytes = 0;
    for (size_t i = at + 1; i <= at + kFrameTrailerLength; ++i) {
        if (i >= count)
            return std::nullopt;
        if (rx[i] == kFrameDelimiter)
            return false;
        trailerBytes += rx[i] == kFrameTrailerByte;
    }
    return trailerBytes + 1 >= kFrameTrailerLength;
}

} // namespace

void SPxCommReceiveData(VltContext &ctx, int n, const uint8_t *buffer, uint16_t length) {
    const size_t k = static_cast<size_t>(n - 1);
    ctx.ChannelTimeout[k] = 500;
    auto &rx = ctx.ChannelRxBuffer[k];
    if (ctx.ChannelRxCount[k] == 0)
        ctx.ChannelRxReopened[k] = 0;
    // A chunk that would not fit throws the buffered bytes away: no frame of
    // the protocol is that long, so they were noise. A chunk larger than the
    // whole buffer keeps only its tail, where a frame could still end.
    if (static_cast<size_t>(ctx.ChannelRxCount[k]) + length > rx.size()) {
        ctx.ChannelRxCount[k] = 0;
        ctx.ChannelRxReopened[k] = 0;
        if (length > rx.size()) {
            buffer += length - rx.size();
            length = static_cast<uint16_t>(rx.size());
        }
    }
    std::copy(buffer, buffer + length, rx.begin() + ctx.ChannelRxCount[k]);
    ctx.ChannelRxCount[k] = static_cast<uint16_t>(ctx.ChannelRxCount[k] + length);
    if (!PacketComplete(rx, ctx.ChannelRxCount[k]))
        return;
    if (ctx.ChannelConnected[k] == 0 || ctx.ChannelOpCode[k] != OpIdle) {
        if (ctx.ChannelConnected[k] == 0)
            HandleHandshakeReply(ctx, n, ctx.ChannelRxCount[k]);
        else
            HandleResponse(ctx, n, ctx.ChannelRxCount[k]);
        // Whatever followed the answer (the trailer, a second frame) is
        // dropped: a repeated reply must not move the operation on twice.
        ctx.ChannelRxCount[k] = 0;
        return;
    }
    // An idle programmer reports its own runs unasked, several to a block:
    // each frame counts. A frame still on its way stays for the next block.
    // A report whose log save fails still lets the later ones be counted;
    // the failure is raised once the block is done.
    std::exception_ptr failure;
    auto &count = ctx.ChannelRxCount[k];
    bool reopened = ctx.ChannelRxReopened[k] != 0;
    while (PacketComplete(rx, count)) {
        const uint16_t before = count;
        const uint16_t closing = ClosingDelimiterAt(rx, before);
        // Where the frame's content starts, after its opening delimiter (two
        // or more: a frame of nothing whose trailer was lost came first).
        const uint16_t opening =
            static_cast<uint16_t>(std::find(rx.begin(), rx.begin() + before, kFrameDelimiter) - rx.begin());
        uint16_t first = opening;
        while (first < closing && rx[first] == kFrameDelimiter)
            ++first;
        if ((reopened || first > opening + 1) && closing < before) {
            // Opened by the delimiter of a frame not taken (or one of
            // nothing), this may be that frame's trailer and noise, or noise
            // alone, up to the next report's opening delimiter, and pass the
            // report's sum test by chance. What opens with the trailer byte
            // is trailer and noise. A report is followed by its trailer (one
            // byte of it may be hit), or at once by the next frame. Where
            // neither follows, this is noise if the frame its closing
            // delimiter opens is a report, and otherwise a report whose
            // trailer was hit harder. Noise is dropped, and the closing
            // delimiter is read again as an opening one.
            bool noise = rx[first] == kFrameTrailerByte;
            if (!noise &&
                (closing + 1 == before ||
                 (rx[closing + 1] != kFrameTrailerByte && rx[closing + 1] != kFrameDelimiter)) &&
                TrailerWithOneByteHit(rx, closing, before) != true) {
                const auto report = ReportOpensAt(rx, closing, before);
                if (!report)
                    break; // the bytes that decide are still on their way
                noise = *report;
            }
            if (noise) {
                std::copy(rx.begin() + closing, rx.begin() + before, rx.begin());
                count = static_cast<uint16_t>(before - closing);
                reopened = true;
                continue;
            }
        }
        bool taken = true;
        try {
            taken = HandleResponse(ctx, n, before);
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
        const uint16_t after = count;
        if (after >= before)
            break; // a doubled opening delimiter, not closed yet
        // Noise, or the tail of a frame whose start was lost, ends at the
        // next report's opening delimiter: that one is read again as such.
        reopened = !taken && before - after == closing + 1;
        if (reopened) {
            std::copy_backward(rx.begin(), rx.begin() + after, rx.begin() + after + 1);
            rx[0] = kFrameDelimiter;
            count = static_cast<uint16_t>(after + 1);
        }
    }
    // Bytes before the next opening delimiter (the last trailer) begin no frame.
    const auto end = rx.begin() + count;
    const auto next = std::find(rx.begin(), end, kFrameDelimiter);
    std::copy(next, end, rx.begin());
    count = static_cast<uint16_t>(end - next);
    ctx.ChannelRxReopened[k] = reopened ? 1 : 0;
    if (failure)
        std::rethrow_exception(failure);
}

void SPxCommReceiveError(VltContext &ctx, int n, uint32_t) {
    const size_t k = static_cast<size_t>(n - 1);
    ctx.ChannelRxCount[k] = 0;
    ctx.ChannelBusy[k] = 0;
}

void SPxCommRequestHangup(VltContext &ctx, int n) {
    const size_t k = static_cast<size_t>(n - 1);
    if (ctx.ChannelComm[k])
        ctx.ChannelComm[k]->ClosePort();
    ctx.ChannelConnected[k] = 0;
    ctx.ChannelGauge[k]->Enabled = false;
    // The first entry goes, and the chosen one keeps pointing at its port.
    ctx.Form->ComboBoxCOM.DeleteItem(0);
}

void Timer1Timer(VltContext &ctx) {
    for (int n = 1; n <= kChannels; ++n) {
        const size_t k = static_cast<size_t>(n - 1);
        if (ctx.ChannelBusy[k] != 1)
            continue;
        ctx.ChannelTimeout[k] = static_cast<uint16_t>(ctx.ChannelTimeout[k] - 1);
        if (ctx.ChannelTimeout[k] != 0)
            continue;
        const std::string who = ctx.ChannelOpCode[k] == OpSetup ? "Device" : "Chip";
        ctx.Form->AddInfoLine(who + std::to_string(n) + ": Operation Timeout!");
        EndOperation(ctx, n, 1);
    }
}
