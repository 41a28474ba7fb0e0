// Pelmor200VLT: the gang programmer.
#include <QApplication>

#include "app/qt/MainWindow.h"
#include "app/qt/VltWindows.h"
#include "platform/Clock.h"

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Pelmor200VLT Chip Programmer");
    TSystemClock clock;
    VltWindows windows(clock, QApplication::applicationFilePath().toStdString());
    windows.Main().show();
    return app.exec();
}
