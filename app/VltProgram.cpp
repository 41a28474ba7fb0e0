#include "app/VltProgram.h"

#include "app/ChipChoice.h"
#include "app/CommandButtons.h"
#include "app/FileLoading.h"
#include "app/LogCfg.h"
#include "app/LogFile.h"
#include "app/MainFormShow.h"
#include "app/PortConnection.h"
#include "app/ReceiveEvents.h"
#include "chips/ChipMenu.h"
#include "forms/Dialogs.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "serial/Comm.h"
#include "state/VltContext.h"

TVltProgram::TVltProgram(TEventQueue &queue, TDialogs &dialogs, TClock &clock)
    : Ctx(std::make_unique<VltContext>()), MainForm(std::make_unique<TProgramVLT>()), Queue(queue) {
    VltContext &ctx = *Ctx;
    ctx.Form = MainForm.get();
    ctx.Dialogs = &dialogs;
    ctx.Clock = &clock;
    MainForm->Clock = &clock;
    for (int n = 1; n <= 4; ++n) {
        Comms[n - 1] = std::make_unique<TComm>(Queue);
        SetDeclaredPortValues(*Comms[n - 1], 5);
        ctx.ChannelComm[static_cast<size_t>(n - 1)] = Comms[n - 1].get();
        ctx.ChannelGauge[static_cast<size_t>(n - 1)] = &MainForm->GaugeBar(n);
        WireComm(n);
    }
    WireForm();
}

TVltProgram::~TVltProgram() {
    ClosePorts();
}

TComm &TVltProgram::Comm(int n) {
    return *Comms[n - 1];
}

void TVltProgram::Show() {
    FormShow(*Ctx, ProgramPath, PortScan);
}

void TVltProgram::Tick() {
    Timer1Timer(*Ctx);
}

void TVltProgram::KeyPress(char &key) {
    FormKeyPress(*Ctx, key);
}

bool TVltProgram::Closing() {
    return FormClose(*Ctx);
}

void TVltProgram::ClosePorts() {
    for (auto &c : Comms)
        if (c && c->IsOpen())
            c->ClosePort();
}

void TVltProgram::WireComm(int n) {
    TComm &c = *Comms[n - 1];
    VltContext &ctx = *Ctx;
    c.OnReceiveData = [&ctx, n](TComm &, const uint8_t *buf, uint16_t len) {
        SPxCommReceiveData(ctx, n, buf, len);
    };
    c.OnReceiveError = [&ctx, n](TComm &, uint32_t mask) { SPxCommReceiveError(ctx, n, mask); };
    c.OnRequestHangup = [&ctx, n](TComm &) { SPxCommRequestHangup(ctx, n); };
}

void TVltProgram::WireForm() {
    VltContext &ctx = *Ctx;
    TProgramVLT &f = *MainForm;
    auto exit = [this, &ctx] { SpdBtnExitClick(ctx, OnCloseRequest); };
    f.SpdBtnExit.OnClick = exit;
    f.Exit1.OnClick = exit;
    f.SpdBtnDownLoad.OnClick = [&ctx] { SpdBtnDownLoadClick(ctx); };
    f.Download1.OnClick = [&ctx] { SpdBtnDownLoadClick(ctx); };
    f.SpdBtnProg.OnClick = [&ctx] { SpdBtnProgClick(ctx); };
    f.Programming1.OnClick = [&ctx] { SpdBtnProgClick(ctx); };
    f.SpdBtnVerify.OnClick = [&ctx] { SpdBtnVerifyClick(ctx); };
    f.VeriufyDownload1.OnClick = [&ctx] { SpdBtnVerifyClick(ctx); };
    f.SpdButtnRdInfo.OnClick = [&ctx] { ReadChipInformation1Click(ctx); };
    f.ReadChipInformation1.OnClick = [&ctx] { ReadChipInformation1Click(ctx); };
    f.SpeedButtonRD.OnClick = [&ctx] { SpeedButtonRDClick(ctx); };
    f.ReadChip1.OnClick = [&ctx] { SpeedButtonRDClick(ctx); };
    f.BitBtnFresh.OnClick = [this, &ctx] { BitBtnFreshClick(ctx, PortScan); };
    f.BitBtnFindCOM.OnClick = [this, &ctx] { BitBtnFindCOMClick(ctx, PortScan); };
    f.ComboBoxCOM.OnChange = [&ctx] { ComboBoxCOMChange(ctx); };
    f.MCUNameEdit.OnChange = [&ctx] { MCUNameEditChange(ctx); };
    f.DevButton.OnClick = [&ctx] { DevButtonClick(ctx); };
    f.CheckBoxAut.OnClick = [&ctx] { CheckBoxAutClick(ctx); };
    f.SpdBtnOpen.OnClick = [&ctx] { FileOpenBtnClick(ctx); };
    f.Execute1.OnClick = [&ctx] { FileOpenBtnClick(ctx); };
    f.SpdBtnSave.OnClick = [&ctx] { FileSaveBtnClick(ctx); };
    f.SaveFile1.OnClick = [&ctx] { FileSaveBtnClick(ctx); };
    f.SaveReadOutDatatoFile1.OnClick = [&ctx] { SaveReadOutDatatoFile1Click(ctx); };
    f.About1.OnClick = [&ctx] { About1Click(ctx); };
    f.AboutForm.OKButton.OnClick = [&f] { f.AboutForm.Close(); };
    f.CfgLog.OnClick = [&ctx] { CfgLogClick(ctx); };
    f.SaveInfotoFile1.OnClick = [&ctx] { SaveInfotoFile1Click(ctx); };
    f.SaveInfotoFile2.OnClick = [&ctx] { SaveInfotoFile1Click(ctx); };
    f.ClearInformation1.OnClick = [&ctx] { ClearInformation1Click(ctx); };
    f.CopyInformation1.OnClick = [&ctx] { CopyInformation1Click(ctx); };
    f.Timer1.OnTimer = [&ctx] { Timer1Timer(ctx); };
    WireChipSeltForm(ctx, f.ChipSeltForm);
    WireLogCfgForm(ctx, f.LogCfgForm);
}
