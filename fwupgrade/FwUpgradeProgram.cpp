#include "fwupgrade/FwUpgradeProgram.h"

#include <chrono>
#include <thread>

#include "fwupgrade/UgHandlers.h"
#include "serial/Comm.h"

namespace fwug {

TFwUpgradeProgram::TFwUpgradeProgram(TEventQueue &queue, TDialogs &dialogs)
    : Port(std::make_unique<TComm>(queue)) {
    // Port "COM2" until a search sets it; the tool reads with a 3 ms interval.
    SetDeclaredPortValues(*Port, 3);
    Port->SetCommName("COM2");
    Ctx.Form = &MainForm;
    Ctx.AboutForm = &About;
    Ctx.SPxComm1 = Port.get();
    Ctx.Dialogs = &dialogs;
    Ctx.Pause = [](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    Wire();
}

TFwUpgradeProgram::~TFwUpgradeProgram() {
    Port->ClosePort();
}

void TFwUpgradeProgram::Show() {
    FormShow(Ctx);
}

void TFwUpgradeProgram::Close() {
    FormClose(Ctx);
}

void TFwUpgradeProgram::Tick() {
    Timer1Timer(Ctx);
}

void TFwUpgradeProgram::Wire() {
    UgContext &c = Ctx;
    MainForm.BitBtnFind.OnClick = [&c] { BitBtnFindClick(c); };
    MainForm.BitBtnFresh.OnClick = [&c] { BitBtnFreshClick(c); };
    MainForm.SpdBtnDownLoad.OnClick = [&c] { SpdBtnDownLoadClick(c); };
    MainForm.SpdBtnVerify.OnClick = [&c] { SpdBtnVerifyClick(c); };
    MainForm.SpdBtnExit.OnClick = [&c] { SpdBtnExitClick(c); };
    MainForm.ComboBoxCOM.OnChange = [&c] { ComboBoxCOMChange(c); };
    MainForm.Exit1.OnClick = [&c] { SpdBtnExitClick(c); };
    MainForm.Upgrade1.OnClick = [&c] { SpdBtnDownLoadClick(c); };
    MainForm.About1.OnClick = [&c] { About1Click(c); };
    MainForm.ClearInfo1.OnClick = [&c] { ClearInfo1Click(c); };
    MainForm.Timer1.OnTimer = [&c] { Timer1Timer(c); };
    Port->OnReceiveData = [&c](TComm &, const uint8_t *buffer, uint16_t length) {
        SPxComm1ReceiveData(c, buffer, length);
    };
    Port->OnRequestHangup = [&c](TComm &) { SPxComm1RequestHangup(c); };
}

} // namespace fwug
