#pragma once
// What the programs ask of the desktop besides their own windows: modal
// message boxes with one OK button, open and save file dialogs, the
// clipboard, the beep and showing one of their forms modally. The Qt programs
// implement it with the toolkit; tests use RecordingDialogs.
//
// Every modal call runs a nested event loop in the program: serial events and
// the timer go on being handled until it returns.
#include <optional>
#include <string>

struct TFileDialog;
struct TForm;

class TDialogs {
public:
    virtual ~TDialogs() = default;

    // Information box (the success kind).
    virtual void Information(const std::string &text) = 0;
    // Error box.
    virtual void Error(const std::string &text) = 0;
    // Plain box without an icon.
    virtual void Message(const std::string &text) = 0;

    // The chosen full path, or nothing when cancelled. The dialog's filter,
    // default extension and file name are used; a choice is stored back
    // into dlg.FileName.
    virtual std::optional<std::string> OpenFile(TFileDialog &dlg) = 0;
    virtual std::optional<std::string> SaveFile(TFileDialog &dlg) = 0;

    virtual void SetClipboardText(const std::string &text) = 0;
    virtual void Beep() = 0;

    // Shows the form modally: sets form.Showing and returns once a handler
    // has called form.Close() or the user closed the window.
    virtual void ShowModal(TForm &form) = 0;

    // Success message: the beep first, then the information box.
    void BeepInformation(const std::string &text) {
        Beep();
        Information(text);
    }
};
