#include "app/qt/VltWindows.h"

#include "app/VltProgram.h"
#include "app/qt/AboutDialog.h"
#include "app/qt/ChipSeltDialog.h"
#include "app/qt/LogCfgDialog.h"
#include "app/qt/MainWindow.h"
#include "forms/ProgramVLTForm.h"
#include "state/VltContext.h"

VltWindows::VltWindows(TClock &clock, const std::string &programPath)
    : DialogsPort(nullptr, "Pelmor200VLT Chip Programmer"),
      Prog(std::make_unique<TVltProgram>(EventQueue, DialogsPort, clock)) {
    Prog->ProgramPath = programPath;
    MainWin = std::make_unique<MainWindow>(*Prog, DialogsPort);
    DialogsPort.SetParent(MainWin.get());
    TProgramVLT &form = Prog->Form();
    ViewBinder &views = MainWin->Binder();
    AboutWin = new AboutDialog(form.AboutForm, views, DialogsPort, MainWin.get());
    ChipWin = new ChipSeltDialog(Prog->Context(), form.ChipSeltForm, views, DialogsPort, MainWin.get());
    LogWin = new LogCfgDialog(form.LogCfgForm, views, DialogsPort, MainWin.get());
    MainWin->AfterRefresh = [this] {
        AboutWin->Sync();
        ChipWin->Sync();
        LogWin->Sync();
    };
    // Serial events are events like any other: errors shown, windows refreshed.
    EventQueue.Runner = [this](const TEventQueue::Event &ev) { MainWin->Handle(ev); };
}

VltWindows::~VltWindows() {
    EventQueue.Runner = nullptr;
    MainWin->AfterRefresh = nullptr;
    // The program closes its ports first, so no thread posts into a queue
    // that is gone; the windows (and their dialogs) go after it.
    MainWin.reset();
    Prog.reset();
}
