#include "fwupgrade/UgProtocol.h"

#include <algorithm>

#include "forms/Dialogs.h"
#include "fwupgrade/BlockScramble.h"
#include "fwupgrade/FirmWareUGForm.h"
#include "fwupgrade/FirmwareData.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "protocol/PortDiscovery.h"
#include "serial/Comm.h"

namespace fwug {

namespace {

constexpr uint8_t kStatusSuccess = 0;
constexpr uint8_t kStatusDone = 6;
// Any status but success draws the gauge red.
constexpr uint8_t kStatusFailed = 0xFF;

void Send(UgContext &ctx, uint16_t length) {
    // The send result is not used: with no open port the bytes go nowhere.
    if (ctx.SPxComm1 && length > 0)
        ctx.SPxComm1->SendData(ctx.UgTxBuffer.data(), length);
}

// Every request of an operation gets the full time for its reply.
void ArmReplyTimeout(UgContext &ctx) {
    ctx.UgTimeout = UgReplyTimeoutTicks;
    ctx.Form->Timer1.Enabled = true;
}

// The programmer answers with the header of the request it answers: the
// command, and the address of the block or the verify's end address.
bool AnswersOutstandingRequest(const UgContext &ctx) {
    const auto &p = ctx.UgPacket;
    const uint16_t addr = GetU16(p, kPktArgument);
    if (ctx.UgState == UgUpgradeRunning)
        return p[kPktCommand] == UgCmdDataBlock && addr == ctx.UgCurAddr;
    if (ctx.UgState == UgVerifyRunning)
        return p[kPktCommand] == UgCmdVerify && addr == ctx.UgEndAddr;
    return false;
}

// A port that hung up (or never opened) answers nothing: an operation on it
// fails at once rather than by time-out. Without a serial component (tests)
// the bytes go nowhere, as before.
bool PortGone(const UgContext &ctx) {
    return ctx.SPxComm1 && !ctx.SPxComm1->IsOpen();
}

// The programmer's answer to the probe (it echoes the probe's three bytes,
// then the name's length); it answers no request. Its name is not needed to
// know that one probe is answered.
bool IsProbeAnswer(const UgContext &ctx, uint16_t len) {
    const auto &p = ctx.UgPacket;
    return len >= 4 && std::equal(kProbeFrame.begin() + 1, kProbeFrame.begin() + 4, p.begin()) && p[3] != 0;
}

// A new operation starts from an empty receive buffer: a fragment of an
// earlier answer cannot join its first reply. When answers may still come for
// requests given up on, it first sends the probe: the programmer answers in
// order, so everything before the probe's answer belongs to those requests.
bool BeginOperation(UgContext &ctx, uint8_t state) {
    if (PortGone(ctx)) {
        UgFailOperation(ctx, UgTextDeviceGone);
        return false;
    }
    if (ctx.UgState != UgIdle)
        ctx.UgAnswersOwed = true; // the operation replaced waited for one
    // Half of a probe's answer may be in already: it must still count.
    if (ctx.UgProbesOut == 0)
        ctx.UgRxCount = 0;
    ctx.UgState = state;
    ctx.UgSyncing = ctx.UgAnswersOwed;
    return true;
}

// Sends the running operation's first request.
void SendFirstRequest(UgContext &ctx) {
    ArmReplyTimeout(ctx);
    if (ctx.UgState == UgUpgradeRunning)
        UgSendDataBlock(ctx, UgCmdDataBlock, ctx.UgCurAddr, static_cast<uint8_t>(ctx.UgBlockCount));
    else
        UgSendVerifyCmd(ctx, UgCmdVerify, ctx.UgEndAddr);
}

void SendFirstRequestOrProbe(UgContext &ctx) {
    if (!ctx.UgSyncing) {
        SendFirstRequest(ctx);
        return;
    }
    ArmReplyTimeout(ctx);
    UgSendHandshake(ctx);
}

// A probe's answer came: the answer to the earliest probe still out. Sent
// after the last request, it follows every answer owed; sent before it, it
// says nothing of that request. Where an answer was lost, a later one is
// taken for an earlier one: the wait only grows longer.
void ProbeAnswered(UgContext &ctx) {
    if (ctx.UgProbesOut > 0)
        --ctx.UgProbesOut;
    if (ctx.UgProbesBeforeRequest > 0) {
        --ctx.UgProbesBeforeRequest;
        return;
    }
    ctx.UgAnswersOwed = false;
    if (ctx.UgSyncing && ctx.UgState != UgIdle) {
        ctx.UgSyncing = false;
        SendFirstRequest(ctx);
    }
}

// Every request: the probes still out were sent before it.
void EncodeAndSend(UgContext &ctx, uint16_t packetLen) {
    ctx.UgProbesBeforeRequest = ctx.UgProbesOut;
    const uint16_t n = EncodeFrame(std::span<const uint8_t>(ctx.UgPacket).first(packetLen), ctx.UgTxBuffer);
    Send(ctx, n);
}

} // namespace

std::string UgStatusText(uint8_t status) {
    switch (status) {
    case 0x00:
        return "操作成功！";
    case 0x23:
        return "数据包校验和不正确！";
    case 0x25:
        return "命令不正确或不认识";
    case 0x2A:
        return "数据包格式不对！";
    case 0x2C:
        return "编程过程出错，数据无法写入！";
    case 0x31:
        return "编程时内部校验不对！";
    case 0x34:
        return "总数据校验和不一致！";
    case 0x40:
        return "命令执行超时";
    default:
        return "操作失败！";
    }
}

void UgSendHandshake(UgContext &ctx) {
    static_assert(kProbeFrame.size() <= kUgTxBufferSize);
    std::copy(kProbeFrame.begin(), kProbeFrame.end(), ctx.UgTxBuffer.begin());
    if (ctx.UgProbesOut < 255)
        ++ctx.UgProbesOut;
    Send(ctx, static_cast<uint16_t>(kProbeFrame.size()));
}

bool UgSendDataBlock(UgContext &ctx, uint8_t cmd, uint16_t addr, uint8_t blockCount) {
    const uint16_t words = static_cast<uint16_t>(addr - kFirmwareBaseAddr);
    const size_t offset = 2u * words;
    if (offset + kFirmwareBlockSize > kFirmwareImageSize)
        return false;
    const uint8_t block = static_cast<uint8_t>(words / kFirmwareWordsPerBlock);
    auto &p = ctx.UgPacket;
    p[0] = cmd;
    PutU16(p, 1, addr);
    p[3] = block;
    p[4] = blockCount;
    p[5] = 0x0F;
    PutU16(p, 6, static_cast<uint16_t>(kFirmwareBlockSize));
    ScrambleBlock(block, std::span<const uint8_t>(FirmwareImage).subspan(offset, kFirmwareBlockSize),
                  std::span<uint8_t>(p).subspan(kPktPayload, kFirmwareBlockSize));
    EncodeAndSend(ctx, SealPacket(p));
    return true;
}

void UgSendVerifyCmd(UgContext &ctx, uint8_t cmd, uint16_t endAddr) {
    auto &p = ctx.UgPacket;
    p[0] = cmd;
    PutU16(p, 1, endAddr);
    p[3] = 0xF1;
    p[4] = 0;
    p[5] = 0;
    PutU16(p, 6, 0);
    EncodeAndSend(ctx, SealPacket(p));
}

bool UgHandleHandshakeReply(UgContext &ctx) {
    uint16_t len = 0;
    if (DecodeFrame(ctx.UgRxBuffer, ctx.UgPacket, len, ctx.UgRxCount) != kFrameOk)
        return false;
    TDeviceNameField name = ExpectedDeviceName;
    if (CheckHandshakeName(ctx.UgPacket.data(), len, name, kHandshakeNameOffset) != 0)
        return false;
    const std::string deviceName = DeviceNameText(name);
    // An operation started before the device answered (the menu works with
    // the buttons disabled) goes on once its own probe is answered.
    ctx.DeviceFound = 1;
    ctx.Form->SpdBtnDownLoad.Enabled = true;
    ctx.Form->SpdBtnVerify.Enabled = true;
    ctx.Form->DevLabel.Caption = deviceName;
    UgAddInfoLine(ctx, Format("Find Device : %s!", deviceName));
    ProbeAnswered(ctx);
    // Bytes after it may be the answer to a later probe, or to the request of
    // an operation started from the menu meanwhile.
    return ctx.UgState == UgIdle && ctx.UgProbesOut == 0;
}

bool UgHandleResponse(UgContext &ctx) {
    const bool reopened = ctx.UgRxReopened && ctx.UgRxCount > 0;
    uint16_t len = 0;
    if (DecodeFrame(ctx.UgRxBuffer, ctx.UgPacket, len, ctx.UgRxCount) != kFrameOk)
        return false;
    // A probe's answer counts whenever it comes, also while nothing runs: a
    // probe whose answer was not counted would hold every later operation.
    // Bytes after it stay for the next frame (another probe's answer), unless
    // it let the operation send its first request.
    if (IsProbeAnswer(ctx, len)) {
        const bool waited = ctx.UgSyncing && ctx.UgState != UgIdle;
        ProbeAnswered(ctx);
        return waited && !ctx.UgSyncing;
    }
    // Nothing waits for a reply, or answers owed come before the probe's:
    // this one answers a request given up on.
    if (ctx.UgState == UgIdle || ctx.UgSyncing)
        return false;
    // Too short to hold a header and a check word: no reply at all.
    if (len < kPktOverhead)
        return false;
    // An intact reply that names another request is the late answer to one
    // given up on. A damaged one names nothing for sure and fails the
    // operation with its status, as any damaged reply does, unless it may
    // be the trailer of a frame not taken and noise.
    const bool intact = ReplyCheckWordGood(ctx.UgPacket, len);
    if (intact ? !AnswersOutstandingRequest(ctx) : reopened)
        return false;
    if (intact) {
        // Every probe sent before the request is answered by now.
        ctx.UgProbesOut = 0;
        ctx.UgProbesBeforeRequest = 0;
    } else {
        ctx.UgAnswersOwed = true; // it may have been noise, the real answer still to come
    }
    const uint8_t status = CheckReplyStatus(ctx.UgPacket, len);
    if (status != kStatusSuccess && status != kStatusDone) {
        UgEndOperation(ctx, status);
        UgShowResultMsg(ctx, status);
        return true;
    }
    if (ctx.UgState == UgVerifyRunning)
        UgCheckVerifyReply(ctx, len);
    else
        UgOnDataBlockAck(ctx, status);
    return true;
}

void UgCheckVerifyReply(UgContext &ctx, uint16_t replyLength) {
    const auto &p = ctx.UgPacket;
    const uint16_t w8 = GetU16(p, 8);
    const uint16_t w10 = GetU16(p, 10);
    const uint16_t w24 = GetU16(p, 24);
    const uint16_t w26 = GetU16(p, 26);
    // A reply too short to carry the words would be judged on stale bytes of
    // an earlier packet.
    const bool ok = replyLength >= UgVerifyReplyMinLength && w26 == ctx.ExpCheckSum2 &&
                    w24 == ctx.ExpCheckSum1 && w8 == w26 && w10 == w24;
    const uint8_t status = ok ? kStatusSuccess : UgStatusChecksumMismatch;
    UgEndOperation(ctx, status);
    UgShowResultMsg(ctx, status);
}

void UgOnDataBlockAck(UgContext &ctx, uint8_t /*status*/) {
    ctx.UgCurAddr = static_cast<uint16_t>(ctx.UgCurAddr + 0x400);
    TGauge &g = ctx.Form->ProgressBar1;
    g.SetProgress(g.Progress() + 2);
    if (ctx.UgCurAddr < ctx.UgEndAddr && ctx.UgCurAddr != 0) {
        ArmReplyTimeout(ctx);
        UgSendDataBlock(ctx, UgCmdDataBlock, ctx.UgCurAddr, static_cast<uint8_t>(ctx.UgBlockCount));
        return;
    }
    UgEndOperation(ctx, kStatusSuccess);
    UgShowResultMsg(ctx, kStatusSuccess);
}

void UgShowResultMsg(UgContext &ctx, uint8_t status) {
    const std::string text = UgStatusText(status);
    if (ctx.Dialogs) {
        if (status == kStatusSuccess)
            ctx.Dialogs->BeepInformation(text);
        else
            ctx.Dialogs->Error(text);
    }
    UgAddInfoLine(ctx, text);
}

void UgFailOperation(UgContext &ctx, const std::string &text) {
    // Ended before the box opens: the box's own event loop must not see a
    // running operation.
    UgEndOperation(ctx, kStatusFailed);
    if (ctx.Dialogs)
        ctx.Dialogs->Error(text);
    UgAddInfoLine(ctx, text);
}

void ForgetAnswersOwed(UgContext &ctx) {
    ctx.UgProbesOut = 0;
    ctx.UgProbesBeforeRequest = 0;
    ctx.UgAnswersOwed = false;
}

void UgAbandonOperation(UgContext &ctx) {
    if (ctx.UgState != UgIdle)
        ctx.UgAnswersOwed = true;
    ctx.UgState = UgIdle;
    ctx.UgSyncing = false;
    ctx.Form->Timer1.Enabled = false;
}

void UgStartProgress(UgContext &ctx, uint16_t startPos, uint16_t maxValue) {
    TGauge &g = ctx.Form->ProgressBar1;
    g.SetMaxValue(maxValue);
    g.SetProgress(startPos);
    g.ForeColor = TColor::Blue;
}

void UgEndOperation(UgContext &ctx, uint8_t status) {
    if (ctx.UgProbesOut == 0) // else a probe's answer may be half in
        ctx.UgRxCount = 0;
    ctx.UgState = UgIdle;
    ctx.UgSyncing = false;
    ctx.Form->Timer1.Enabled = false;
    TGauge &g = ctx.Form->ProgressBar1;
    g.ForeColor = status == kStatusSuccess ? TColor::Blue : TColor::Red;
    g.SetProgress(g.MaxValue());
}

void UgAddInfoLine(UgContext &ctx, const std::string &text) {
    ctx.Form->InfoMemo.Add("> " + text);
}

void UgStartUpgrade(UgContext &ctx) {
    if (!BeginOperation(ctx, UgUpgradeRunning))
        return;
    ctx.UgCurAddr = ctx.UgStartAddr;
    const uint16_t span = static_cast<uint16_t>(ctx.UgEndAddr - ctx.UgStartAddr);
    ctx.UgBlockCount = static_cast<uint16_t>(span / 1024 + (span % 1024 != 0 ? 1 : 0));
    UgStartProgress(ctx, 2, ctx.UgBlockCount);
    SendFirstRequestOrProbe(ctx);
}

void UgStartVerify(UgContext &ctx) {
    if (!BeginOperation(ctx, UgVerifyRunning))
        return;
    UgStartProgress(ctx, 10, 100);
    SendFirstRequestOrProbe(ctx);
}

} // namespace fwug
