#pragma once
// Closes the main window when the program is asked to end by a signal
// (SIGTERM, SIGHUP, SIGINT), as its close button does: the window's own close
// runs, from the main loop, once no modal dialog is open. Dialogs open at
// that moment, and those that open while the window closes, are dismissed
// and their text goes to the standard error stream: nobody may be there to
// answer them. The program ends after the attempt even when the window
// refuses to close. What the close writes to the error stream waits at most
// a few seconds in all for it: nobody may be reading it either.
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/ErrorStream.h"

class QDialog;
class QSocketNotifier;
class QWidget;
class TEndSignals;

class SignalClose : public QObject {
public:
    SignalClose(TEndSignals &ends, QWidget &window);
    ~SignalClose() override;

    // Runs when the window refused to close, before the program ends anyway.
    std::function<void()> OnRefused;
    // Ends the program: 0 after the window closed, 1 otherwise.
    // QCoreApplication::exit unless replaced.
    std::function<void(int code)> End;

    // The first signal that came; 0 while none did.
    int Signal() const { return First; }

    // Text for the error stream, within the close's time for it.
    void ToErrorStream(std::string_view text);

protected:
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    void Read();
    void Step();
    // Dismisses every open dialog and popup (report: says what each said);
    // false when none was open.
    bool DismissOpen(bool report);
    void Report(const QDialog &d);
    void Finish(int code);

    TEndSignals &Signals;
    QWidget &Window;
    std::unique_ptr<QSocketNotifier> Notifier;
    QTimer Retry;
    TErrorStream Errors;
    int First = 0;
    int Tries = 0;
    bool Closing = false;
    bool Ended = false;
};
