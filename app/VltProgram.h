#pragma once
// The gang programmer as one object: its working data, its main window model,
// the four serial components of the channels and the wiring between the
// window's events, the ports' events and the handlers. main (Qt) and the
// end-to-end tests create one with their event queue, dialogs and clock.
#include <functional>
#include <memory>
#include <string>

#include "app/PortConnection.h"

class TComm;
class TEventQueue;
class TDialogs;
class TClock;
struct TProgramVLT;
struct VltContext;

class TVltProgram {
public:
    TVltProgram(TEventQueue &queue, TDialogs &dialogs, TClock &clock);
    ~TVltProgram(); // closes every open port
    TVltProgram(const TVltProgram &) = delete;
    TVltProgram &operator=(const TVltProgram &) = delete;

    VltContext &Context() { return *Ctx; }
    TProgramVLT &Form() { return *MainForm; }
    TComm &Comm(int n); // SPxComm1..SPxComm4, n = 1..4

    // Full path of the program file; FormShow takes its folder as ProgramDir
    // and creates "Log" there. Set before Show().
    std::string ProgramPath;
    // The connect scan's port list (the serial device map) and its 50 ms
    // pause per port; tests replace both.
    TPortScan PortScan;
    // Asked to close the main window (Exit button and menu); the view closes
    // its window, which runs the close handling.
    std::function<void()> OnCloseRequest;

    // The window's first show: FormShow, ending with refresh and connect.
    void Show();
    // One tick of the 10 ms timer Timer1.
    void Tick();
    // A key pressed in the main window.
    void KeyPress(char &key);
    // The main window closes: log written when logging is on, then the ports
    // closed. A log that fails leaves the ports open and the window must stay
    // open: false when its box was shown already (the automatic name), an
    // exception for the error display otherwise (the operator's file).
    bool Closing();
    // Closes the four ports (each close waits for its threads).
    void ClosePorts();

private:
    void WireForm();
    void WireComm(int n);

    std::unique_ptr<VltContext> Ctx;
    std::unique_ptr<TProgramVLT> MainForm;
    std::unique_ptr<TComm> Comms[4];
    TEventQueue &Queue;
};
