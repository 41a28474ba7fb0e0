#pragma once
// The upgrade tool's side of the firmware upgrade exchange: the probe, the
// data block command 0xB7, the verify command 0xBA, reply handling and the
// result messages. Everything works on the tool's one set of buffers.
#include <cstdint>
#include <string>

#include "fwupgrade/UgContext.h"

namespace fwug {

constexpr uint8_t UgCmdDataBlock = 0xB7;
constexpr uint8_t UgCmdVerify = 0xBA;
// Status of a verify reply whose checksums disagree.
constexpr uint8_t UgStatusChecksumMismatch = 0x34;
// The message of this status also serves a reply that never came.
constexpr uint8_t UgStatusTimeout = 0x40;
// An operation gives up on a reply after 10 s: 500 ticks of the 20 ms Timer1.
constexpr uint16_t UgReplyTimeoutTicks = 500;
// Shown when the port hangs up under a running operation.
inline constexpr const char *UgTextDeviceGone = "通讯设备已断开！";
// A verify reply carries its four checksum words up to byte 27.
constexpr uint16_t UgVerifyReplyMinLength = 28;

// The message of a status, "操作失败！" for any status the table does not list.
std::string UgStatusText(uint8_t status);

void UgSendHandshake(UgContext &ctx);
// Builds, encodes and sends the data block of device word address addr.
// Returns false (nothing sent) for an address whose block is not in the image.
bool UgSendDataBlock(UgContext &ctx, uint8_t cmd, uint16_t addr, uint8_t blockCount);
void UgSendVerifyCmd(UgContext &ctx, uint8_t cmd, uint16_t endAddr);

// Called for a complete frame in UgRxBuffer while DeviceFound is 0. Returns
// whether the frame was taken (the probe reply naming the device).
bool UgHandleHandshakeReply(UgContext &ctx);
// Called for a complete frame in UgRxBuffer while DeviceFound is 1. Returns
// whether the frame was taken as the answer to the outstanding request. A
// damaged frame opened by the delimiter of a frame not taken (UgRxReopened)
// may be that frame's trailer and noise: it is dropped rather than taken for
// a damaged answer.
bool UgHandleResponse(UgContext &ctx);
// replyLength: decoded length of the reply in UgPacket.
void UgCheckVerifyReply(UgContext &ctx, uint16_t replyLength);
void UgOnDataBlockAck(UgContext &ctx, uint8_t status);
void UgShowResultMsg(UgContext &ctx, uint8_t status);
void UgStartProgress(UgContext &ctx, uint16_t startPos, uint16_t maxValue);
void UgEndOperation(UgContext &ctx, uint8_t status);
void UgAddInfoLine(UgContext &ctx, const std::string &text);
// Ends the running operation as failed: gauge red and full, the text in an
// error box and in the panel.
void UgFailOperation(UgContext &ctx, const std::string &text);
// Drops the running operation without a word (a new search replaces it).
void UgAbandonOperation(UgContext &ctx);
// No answer can come for anything sent before: the programmer went away, or
// another port's programmer is used.
void ForgetAnswersOwed(UgContext &ctx);

// Upgrade steps 1-2: set up the run and send the first block.
void UgStartUpgrade(UgContext &ctx);
// Verify: set up the run and send 0xBA.
void UgStartVerify(UgContext &ctx);

} // namespace fwug
