#include "fwupgrade/UgHandlers.h"

#include <algorithm>
#include <cstring>

#include "forms/Dialogs.h"
#include "fwupgrade/FirmWareUGForm.h"
#include "fwupgrade/UgProtocol.h"
#include "platform/Format.h"
#include "protocol/Frame.h"
#include "protocol/PortDiscovery.h"
#include "serial/Comm.h"

namespace fwug {

namespace {

void ClosePortIfOpen(UgContext &ctx) {
    if (ctx.SPxComm1 && ctx.SPxComm1->IsOpen())
        ctx.SPxComm1->ClosePort();
}

} // namespace

void FormShow(UgContext &ctx) {
    TMemo &memo = ctx.Form->InfoMemo;
    memo.Add(" *        Modify/Add Vt7100 Chips Support             *");
    memo.Add(" *----------------------------------------------------*");
    ctx.Form->Caption = "Pelmor200VLT Firmware Upgrade Wizard - RV3";
    memo.Add(" * Add Option to Enable Prog Generic for FUSE Bank 2  *");
    memo.Add(" *                                                    *");
    memo.Add(Format(" *           更新区 CheckSum 1 = 0x%0.4x               *", 0x10DB));
    memo.Add(Format(" *           更新区 CheckSum 2 = 0x%0.4x               *", 0x4B5C));
    memo.Add(" *----------------------------------------------------*");
    memo.Add("");
    ctx.ExpCheckSum2 = 0x4B5C;
    ctx.ExpCheckSum1 = 0x10DB;
    ctx.UgStartAddr = 0x2000;
    ctx.UgEndAddr = 0x4FFF;
    BitBtnFindClick(ctx);
}

void BitBtnFindClick(UgContext &ctx) {
    TFirmWareUG &f = *ctx.Form;
    UgAbandonOperation(ctx);
    f.ComboBoxCOM.ClearItems();
    ctx.UgRxCount = 0;
    f.ProgressBar1.SetProgress(0);
    f.ProgressBar1.ForeColor = TColor::Blue;
    ClosePortIfOpen(ctx);
    EnumeratePorts(f.ComboBoxCOM, ctx.DeviceMap ? ctx.DeviceMap() : SerialDeviceMap());
    if (f.ComboBoxCOM.Items.empty())
        return;
    const std::string port = f.ComboBoxCOM.Items.front();
    ctx.DeviceFound = 0;
    f.DevLabel.Caption = "Searching Devices............";
    f.InfoMemo.Add(Format("> Checking Device In %s............", port));
    if (!ctx.SPxComm1)
        return;
    // Another port, another programmer: it owes nothing of this one's.
    if (ctx.SPxComm1->CommName() != port)
        ForgetAnswersOwed(ctx);
    ctx.SPxComm1->SetCommName(port);
    ctx.SPxComm1->OpenPort(); // ECommsError ends the search; the caller shows it
    if (ctx.Pause)
        ctx.Pause(50);
    if (ctx.SPxComm1->IsOpen())
        UgSendHandshake(ctx);
}

void BitBtnFreshClick(UgContext &ctx) {
    TFirmWareUG &f = *ctx.Form;
    UgAbandonOperation(ctx);
    f.SpdBtnDownLoad.Enabled = false;
    f.SpdBtnVerify.Enabled = false;
    ctx.DeviceFound = 0;
    f.ComboBoxCOM.ClearItems();
    ClosePortIfOpen(ctx);
    EnumeratePorts(f.ComboBoxCOM, ctx.DeviceMap ? ctx.DeviceMap() : SerialDeviceMap());
}

void SpdBtnDownLoadClick(UgContext &ctx) {
    UgStartUpgrade(ctx);
}

void SpdBtnVerifyClick(UgContext &ctx) {
    UgStartVerify(ctx);
}

void SpdBtnExitClick(UgContext &ctx) {
    ClosePortIfOpen(ctx);
    if (ctx.CloseWindow)
        ctx.CloseWindow();
}

void FormClose(UgContext &ctx) {
    ClosePortIfOpen(ctx);
}

void ComboBoxCOMChange(UgContext &ctx) {
    TComboBox &c = ctx.Form->ComboBoxCOM;
    if (c.ItemIndex >= 0 && static_cast<size_t>(c.ItemIndex) < c.Items.size())
        c.Text = c.Items[static_cast<size_t>(c.ItemIndex)];
}

void About1Click(UgContext &ctx) {
    if (ctx.Dialogs && ctx.AboutForm)
        ctx.Dialogs->ShowModal(*ctx.AboutForm);
}

void ClearInfo1Click(UgContext &ctx) {
    ctx.Form->InfoMemo.Clear();
}

void SPxComm1ReceiveData(UgContext &ctx, const uint8_t *buffer, uint16_t length) {
    // Blocks are appended so that a frame split over several reads is still
    // recognised. A block that does not fit drops what was buffered.
    if (!buffer || length == 0)
        return;
    size_t n = std::min<size_t>(length, ctx.UgRxBuffer.size());
    if (ctx.UgRxCount + n > ctx.UgRxBuffer.size())
        ctx.UgRxCount = 0;
    if (ctx.UgRxCount == 0)
        ctx.UgRxReopened = false;
    std::memcpy(ctx.UgRxBuffer.data() + ctx.UgRxCount, buffer, n);
    ctx.UgRxCount = static_cast<uint16_t>(ctx.UgRxCount + n);
    // Bytes after a frame that was taken are dropped, so a repeated reply
    // cannot move the operation on twice. A frame that was not taken (a late
    // answer to a request given up on, another device's reply, the tail of a
    // frame whose start was dropped) does not cost the frame that follows it:
    // its closing delimiter may be that frame's opening one, and is read
    // again as such.
    while (PacketComplete(ctx.UgRxBuffer, ctx.UgRxCount)) {
        const uint16_t before = ctx.UgRxCount;
        const uint16_t closing = ClosingDelimiterAt(ctx.UgRxBuffer, before);
        const bool taken = ctx.DeviceFound == 1 ? UgHandleResponse(ctx) : UgHandleHandshakeReply(ctx);
        if (taken) {
            ctx.UgRxCount = 0;
            return;
        }
        const uint16_t after = ctx.UgRxCount;
        if (after >= before)
            return; // a doubled opening delimiter: the frame is not closed yet
        ctx.UgRxReopened = before - after == closing + 1;
        if (ctx.UgRxReopened) {
            std::memmove(ctx.UgRxBuffer.data() + 1, ctx.UgRxBuffer.data(), after);
            ctx.UgRxBuffer[0] = kFrameDelimiter;
            ctx.UgRxCount = static_cast<uint16_t>(after + 1);
        }
    }
}

void SPxComm1RequestHangup(UgContext &ctx) {
    TFirmWareUG &f = *ctx.Form;
    // Closed at once, so that its lock goes and a search can open the port
    // again when the programmer is back.
    ClosePortIfOpen(ctx);
    ctx.DeviceFound = 0;
    // The programmer that comes back starts afresh: it owes nothing.
    ForgetAnswersOwed(ctx);
    f.SpdBtnDownLoad.Enabled = false;
    f.SpdBtnVerify.Enabled = false;
    f.DevLabel.Caption = "设备......";
    f.ComboBoxCOM.DeleteItem(0);
    if (ctx.UgState != UgIdle)
        UgFailOperation(ctx, UgTextDeviceGone);
}

void Timer1Timer(UgContext &ctx) {
    if (ctx.UgState == UgIdle) {
        ctx.Form->Timer1.Enabled = false;
        return;
    }
    if (ctx.UgTimeout > 1) {
        --ctx.UgTimeout;
        return;
    }
    // Its answer may still come; the next operation waits until it can be told apart.
    ctx.UgAnswersOwed = true;
    UgFailOperation(ctx, UgStatusText(UgStatusTimeout));
}

} // namespace fwug
