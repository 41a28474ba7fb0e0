// Pelmor200VLT: the gang programmer.
//   --quit-after MS   closes the window after MS milliseconds and prints the
//                     information panel (for smoke runs without a display)
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "app/VltProgram.h"
#include "app/qt/MainWindow.h"
#include "app/qt/VltWindows.h"
#include "forms/ProgramVLTForm.h"
#include "forms/qt/SignalClose.h"
#include "forms/qt/ToolkitMessages.h"
#include "platform/Clock.h"
#include "platform/ErrorStream.h"
#include "platform/ProcessSignals.h"
#include "platform/ProcessUmask.h"
#include "platform/StandardDescriptors.h"

int main(int argc, char **argv) {
    // Before anything opens a descriptor: a serial port must not become stderr.
    if (!FillClosedStandardDescriptors())
        return 1;
    // A full stderr nobody reads must not hold the program.
    NeverBlockOn(STDERR_FILENO);
    SendToolkitMessagesWithoutWaiting();
    // Read while no other thread could change it meanwhile.
    ReadUmaskAtStart();

    // Before the toolkit starts any thread: they all inherit the mask.
    IgnoreWriteSignals();
    TEndSignals endSignals;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pelmor200VLT Chip Programmer");
    int quitAfter = -1;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--quit-after") == 0)
            quitAfter = std::atoi(argv[i + 1]);
    TSystemClock clock;
    VltWindows windows(clock, QApplication::applicationFilePath().toStdString());
    SignalClose signalClose(endSignals, windows.Main());
    // The log at close could not be written and the program ends anyway:
    // the panel goes to the error stream rather than nowhere.
    signalClose.OnRefused = [&windows, &signalClose] {
        std::string panel;
        for (const auto &line : windows.Program().Form().InfoMemo.Lines)
            panel += line + "\n";
        signalClose.ToErrorStream(panel);
    };
    windows.Main().show();
    if (quitAfter >= 0)
        QTimer::singleShot(quitAfter, &windows.Main(), [&windows] {
            for (const auto &line : windows.Program().Form().InfoMemo.Lines)
                std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            windows.Main().close();
        });
    return app.exec();
}
