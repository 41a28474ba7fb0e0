#pragma once
// The upgrade tool as one object: its working data, its window and About box
// models, its serial component and the wiring between the controls' and the
// port's events and the handlers. main (Qt) and the end-to-end tests create
// one with their event queue and dialogs.
#include <memory>

#include "fwupgrade/FirmWareUGForm.h"
#include "fwupgrade/UgContext.h"

class TComm;
class TEventQueue;
class TDialogs;

namespace fwug {

class TFwUpgradeProgram {
public:
    TFwUpgradeProgram(TEventQueue &queue, TDialogs &dialogs);
    ~TFwUpgradeProgram(); // closes the port
    TFwUpgradeProgram(const TFwUpgradeProgram &) = delete;
    TFwUpgradeProgram &operator=(const TFwUpgradeProgram &) = delete;

    // Pause and CloseWindow of the context may be replaced; Pause
    // is a real sleep unless replaced.
    UgContext &Context() { return Ctx; }
    TFirmWareUG &Form() { return MainForm; }
    TAboutForm &AboutForm() { return About; }
    TComm &Comm() { return *Port; }

    // The window's first show.
    void Show();
    // The window is closing.
    void Close();
    // One tick of the 20 ms timer Timer1.
    void Tick();

private:
    void Wire();

    TFirmWareUG MainForm;
    TAboutForm About;
    UgContext Ctx;
    std::unique_ptr<TComm> Port; // destroyed first: no event reaches Ctx after it
};

} // namespace fwug
