// pelmor-screenshot OUTDIR: runs the gang programmer offscreen against four
// simulated programmers, walks through a chip choice, a load, download,
// program and read, and saves PNG pictures of the main window on each page,
// the chip menu, the log dialog and the About box.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <functional>

#include "app/VltProgram.h"
#include "app/qt/AboutDialog.h"
#include "app/qt/ChipSeltDialog.h"
#include "app/qt/LogCfgDialog.h"
#include "app/qt/MainWindow.h"
#include "app/qt/VltWindows.h"
#include "forms/ProgramVLTForm.h"
#include "platform/Clock.h"
#include "state/VltContext.h"
#include "tools/devsim/SimDevice.h"

namespace {

bool WaitUntil(const std::function<bool()> &done, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void Pause(int ms) {
    WaitUntil([] { return false; }, ms);
}

bool Save(const QImage &image, const QString &dir, const char *name) {
    const QString path = dir + "/" + name;
    const bool ok = image.save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Runs `act` inside the next modal window, once it is on the screen.
void InNextModal(std::function<void(QWidget *)> act) {
    QTimer::singleShot(20, [act] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w) {
            InNextModal(act);
            return;
        }
        act(w);
    });
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QString out = argc > 1 ? QString(argv[1]) : QString(".");
    QDir().mkpath(out);
    const QString work =
        QDir::tempPath() + "/pelmor-screenshot-" + QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(work);

    TSimGang gang(4);
    TFixedClock clock({2026, 12, 7, 9, 30, 0, 0});
    clock.StepSeconds = 1;
    VltWindows windows(clock, (work + "/Pelmor200VLT").toStdString());
    TVltProgram &program = windows.Program();
    TSerialDeviceMap map;
    for (size_t i = 0; i < gang.Size(); ++i)
        map.push_back({"\\Device\\VCP" + std::to_string(i), gang.Device(i).PortPath()});
    program.PortScan.DeviceMap = [map] { return map; };
    TProgramVLT &form = program.Form();
    VltContext &ctx = program.Context();
    MainWindow &main = windows.Main();

    // Status boxes are answered at once.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    answer.start(50);

    main.show();
    WaitUntil([&] { return ctx.ChannelConnected == std::array<uint8_t, 4>{1, 1, 1, 1}; });
    bool ok = true;

    // The chip menu, open beside the chip button; the menu is its own window,
    // so it is painted onto the picture where it opened.
    InNextModal([&](QWidget *) {
        ChipSeltDialog &chip = windows.ChipSelt();
        WaitUntil([&] { return chip.Menu()->isVisible(); }, 3000);
        Pause(100);
        const QPoint origin = chip.geometry().topLeft();
        const QRect menuRect = chip.Menu()->geometry();
        const QRect all = QRect(origin, chip.size()).united(menuRect);
        QImage shot(all.size(), QImage::Format_ARGB32);
        shot.fill(Qt::white);
        QPainter p(&shot);
        p.drawPixmap(origin - all.topLeft(), chip.grab());
        p.drawPixmap(menuRect.topLeft() - all.topLeft(), chip.Menu()->grab());
        p.end();
        ok &= Save(shot, out, "chip-menu.png");
        chip.Menu()->hide();
        Pause(50);
        ok &= Save(chip.grab().toImage(), out, "chip-form.png");
        for (QAction *a : chip.Menu()->actions())
            if (a->text() == "Vt7115") {
                chip.Menu()->hide();
                a->trigger();
            }
    });
    QMetaObject::invokeMethod(main.Widget("DevButton"), "click");
    WaitUntil([&] { return form.MCUNameEdit.Text() == "Vt7115"; });

    // A data file, loaded the way the load button does after its dialog.
    const std::string data = (work + "/demo.BIN").toStdString();
    {
        std::ofstream f(data, std::ios::binary);
        for (int i = 0; i < 4096; ++i)
            f.put(static_cast<char>((i * 37 + 11) & 0xFF));
    }
    InNextModal([&](QWidget *w) {
        if (auto *name = w->findChild<QLineEdit *>("fileNameEdit")) {
            name->setText(QString::fromStdString(data));
            QMetaObject::invokeMethod(w, "accept");
        }
    });
    main.Run([&] { form.SpdBtnOpen.Click(); });
    auto idle = [&] {
        for (auto b : ctx.ChannelBusy)
            if (b)
                return false;
        return true;
    };
    for (TButton *b : {&form.SpdBtnDownLoad, &form.SpdBtnProg, &form.SpeedButtonRD}) {
        main.Run([b] { b->Click(); });
        WaitUntil(idle);
        Pause(200);
    }
    // A failed run leaves its channel's bar red; another run is under way.
    gang.Device(3).SendProgressReport(0xF0, 0x15, 0, 0);
    WaitUntil([&] { return form.GaugeBar4.ForeColor == TColor::Red; });
    gang.Device(2).SendStandAloneRun(6);
    Pause(500);
    main.RefreshAll();
    ok &= Save(main.grab().toImage(), out, "main-chip.png");
    const char *pages[] = {"main-chip.png", "main-buffer.png", "main-read.png"};
    for (int i = 1; i < 3; ++i) {
        main.Run([&, i] {
            form.TabSheetRd.TabVisible = true;
            form.ViewPageCtrl.ActivePageIndex = i;
        });
        Pause(100);
        ok &= Save(main.grab().toImage(), out, pages[i]);
    }
    main.Run([&] { form.ViewPageCtrl.ActivePageIndex = 0; });

    InNextModal([&](QWidget *w) {
        Pause(100);
        ok &= Save(w->grab().toImage(), out, "log-dialog.png");
        static_cast<QDialog *>(w)->reject();
    });
    main.Action("CfgLog")->trigger();
    InNextModal([&](QWidget *w) {
        Pause(100);
        ok &= Save(w->grab().toImage(), out, "about.png");
        static_cast<QDialog *>(w)->reject();
    });
    main.Action("About1")->trigger();

    form.LogCfgForm.CheckBoxLog.SetChecked(false); // leave no log behind
    main.close();
    QDir(work).removeRecursively();
    return ok ? 0 : 1;
}
