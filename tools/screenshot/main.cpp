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
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The working folder's path shows in the pictures, so its name is fixed. /tmp
// is shared: the folder must be a directory of our own that no one else can
// enter. A run at the same time waits for the lock; one that finished in the
// meantime removed the folder, and the next one makes it anew.
int LockWorkDir(const char *path, std::string &why) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (mkdir(path, 0700) != 0 && errno != EEXIST) {
            why = std::strerror(errno);
            return -1;
        }
        const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            why = std::strerror(errno);
            return -1;
        }
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
            (st.st_mode & 077) != 0) {
            close(fd);
            why = "not a folder of this user that only it can enter";
            return -1;
        }
        if (flock(fd, LOCK_EX) != 0) {
            why = std::strerror(errno);
            close(fd);
            return -1;
        }
        struct stat now {};
        if (lstat(path, &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            return fd;
        close(fd);
    }
    why = "it keeps being replaced";
    return -1;
}

// Leftovers of a run that did not finish.
void EmptyDir(const QString &path) {
    QDir dir(path);
    for (const QFileInfo &e :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (e.isDir() && !e.isSymLink())
            QDir(e.filePath()).removeRecursively();
        else
            dir.remove(e.fileName());
    }
}

// Runs `start` with the devices' replies taken one channel after another, so
// that the panel's lines come in the same order on every run: the first reply
// of every device but the first is held and let go once the channel before it
// is done.
bool InChannelOrder(TSimGang &gang, const std::function<void()> &start,
                    const std::function<bool(size_t)> &done) {
    for (size_t i = 1; i < gang.Size(); ++i)
        gang.Device(i).InjectHold();
    start();
    bool ok = true;
    for (size_t i = 0; i < gang.Size() && ok; ++i) {
        TSimDevice &device = gang.Device(i);
        if (i > 0) {
            ok = WaitUntil([&] { return device.HoldsReply(); });
            device.ReleaseHeld();
        }
        ok = ok && WaitUntil([&] { return done(i); });
        if (!ok)
            std::fprintf(stderr, "device %zu did not answer in turn\n", i + 1);
    }
    for (size_t i = 1; i < gang.Size() && !ok; ++i)
        gang.Device(i).ClearFaults();
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
    const QString work = "/tmp/pelmor-screenshot";
    std::string why;
    const int workLock = LockWorkDir(qPrintable(work), why);
    if (workLock < 0) {
        std::fprintf(stderr, "cannot use %s as a working folder: %s\n", qPrintable(work), why.c_str());
        return 1;
    }
    EmptyDir(work);

    TSimGang gang(4);
    TFixedClock clock({2026, 12, 7, 9, 30, 0, 0});
    clock.StepSeconds = 1;
    VltWindows windows(clock, (work + "/Pelmor200VLT").toStdString());
    TVltProgram &program = windows.Program();
    // The port field shows the end of the name: fixed names in the working
    // folder, not the pseudo-terminals' numbers, which change from run to run.
    TSerialDeviceMap map;
    for (size_t i = 0; i < gang.Size(); ++i) {
        const std::string name = (work + "/ttyUSB").toStdString() + std::to_string(i);
        if (::symlink(gang.Device(i).PortPath().c_str(), name.c_str()) != 0) {
            std::fprintf(stderr, "cannot make %s: %s\n", name.c_str(), std::strerror(errno));
            return 1;
        }
        map.push_back({"\\Device\\VCP" + std::to_string(i), name});
    }
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

    bool ok = InChannelOrder(
        gang, [&] { main.show(); }, [&](size_t i) { return ctx.ChannelConnected[i] != 0; });

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
    for (TButton *b : {&form.SpdBtnDownLoad, &form.SpdBtnProg}) {
        ok &= InChannelOrder(
            gang, [&] { main.Run([b] { b->Click(); }); }, [&](size_t i) { return ctx.ChannelBusy[i] == 0; });
        Pause(200);
    }
    // Reading takes the first channel only.
    main.Run([&] { form.SpeedButtonRD.Click(); });
    ok &= WaitUntil(idle);
    Pause(200);
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
    close(workLock);
    return ok ? 0 : 1;
}
