#pragma once
// The gang programmer's windows and what they run on: the event queue in the
// Qt loop, the dialogs port, the clock and the program object. Created in
// the order the program creates its windows: the main window, the About box,
// the chip selection window, the log configuration window.
#include <memory>
#include <string>

#include "forms/qt/QtDialogs.h"
#include "forms/qt/QtEventQueue.h"

class TClock;
class TVltProgram;
class MainWindow;
class AboutDialog;
class ChipSeltDialog;
class LogCfgDialog;

class VltWindows {
public:
    // programPath: the program file, whose folder holds "Log".
    VltWindows(TClock &clock, const std::string &programPath);
    ~VltWindows();

    TVltProgram &Program() { return *Prog; }
    MainWindow &Main() { return *MainWin; }
    AboutDialog &About() { return *AboutWin; }
    ChipSeltDialog &ChipSelt() { return *ChipWin; }
    LogCfgDialog &LogCfg() { return *LogWin; }
    QtEventQueue &Queue() { return EventQueue; }
    QtDialogs &Dialogs() { return DialogsPort; }

private:
    QtEventQueue EventQueue;
    QtDialogs DialogsPort;
    std::unique_ptr<TVltProgram> Prog;
    std::unique_ptr<MainWindow> MainWin;
    AboutDialog *AboutWin = nullptr;
    ChipSeltDialog *ChipWin = nullptr;
    LogCfgDialog *LogWin = nullptr;
};
