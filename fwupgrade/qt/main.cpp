// PelmorFwUpgrade: finds one programmer on the first serial port and writes
// the firmware image it carries into the programmer.
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <unistd.h>

#include "forms/qt/QtDialogs.h"
#include "forms/qt/QtEventQueue.h"
#include "forms/qt/SignalClose.h"
#include "forms/qt/ToolkitMessages.h"
#include "fwupgrade/FwUpgradeProgram.h"
#include "fwupgrade/qt/AboutDialog.h"
#include "fwupgrade/qt/ApplicationTitle.h"
#include "fwupgrade/qt/FwUpgradeWindow.h"
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
    fwug::SetUpApplication();

    QtEventQueue queue;
    QtDialogs dialogs(nullptr, fwug::ApplicationTitle());
    fwug::TFwUpgradeProgram program(queue, dialogs);
    fwug::TFwUpgradeWindow window(program);
    dialogs.SetParent(&window);
    dialogs.RegisterForm(program.AboutForm(), [&] {
        fwug::TAboutDialog about(program.AboutForm(), &window);
        about.exec();
    });

    SignalClose signalClose(endSignals, window);

    // Centred on the screen.
    if (QScreen *s = QGuiApplication::primaryScreen())
        window.move(s->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
