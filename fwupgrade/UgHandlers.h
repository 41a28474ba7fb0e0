#pragma once
// Handlers of the upgrade tool's window TFirmWareUG and of its port SPxComm1,
// working on the window model through the context.
#include <cstdint>

#include "fwupgrade/UgContext.h"

namespace fwug {

// Banner, caption and the update region's constants, then the search.
void FormShow(UgContext &ctx);
// Lists the ports and probes only the first one of the sorted list.
void BitBtnFindClick(UgContext &ctx);
// Lists the ports again without probing; forgets the device.
void BitBtnFreshClick(UgContext &ctx);
// Also the menu "&Upgrade", which works whether or not the buttons are enabled.
void SpdBtnDownLoadClick(UgContext &ctx);
void SpdBtnVerifyClick(UgContext &ctx);
// Also the menu "E&xit".
void SpdBtnExitClick(UgContext &ctx);
void FormClose(UgContext &ctx);
void ComboBoxCOMChange(UgContext &ctx);
void About1Click(UgContext &ctx);
void ClearInfo1Click(UgContext &ctx);
// Appends the block to UgRxBuffer and hands each complete frame on until one
// is taken.
void SPxComm1ReceiveData(UgContext &ctx, const uint8_t *buffer, uint16_t length);
// The far side closed the port: releases it, forgets the device and ends a
// running operation as failed.
void SPxComm1RequestHangup(UgContext &ctx);
// Timer1, every 20 ms while an operation waits: ends it once its reply is
// overdue.
void Timer1Timer(UgContext &ctx);

} // namespace fwug
