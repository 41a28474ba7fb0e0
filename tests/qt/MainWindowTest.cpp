// The gang programmer's real windows, offscreen, against simulated devices:
// user actions reach the handlers and the windows show what they did.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "app/VltProgram.h"
#include "app/qt/ChipSeltDialog.h"
#include "app/qt/LogCfgDialog.h"
#include "app/qt/MainWindow.h"
#include "app/qt/VltWindows.h"
#include "forms/ProgramVLTForm.h"
#include "forms/qt/GaugeView.h"
#include "forms/qt/MemoView.h"
#include "platform/Clock.h"
#include "serial/Comm.h"
#include "state/VltContext.h"
#include "tests/qt/GaugeLook.h"
#include "tools/devsim/SimDevice.h"

namespace fs = std::filesystem;

namespace {

// Does `act` with each modal window (message box, file dialog, form) that
// comes up while it lives; once only unless `every`.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QWidget *)> act, bool every = false)
        : Act(std::move(act)), Every(every) {
        QObject::connect(&Poll, &QTimer::timeout, [this] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || w == Last)
                return;
            Last = w;
            if (!Every)
                Poll.stop();
            // With every, boxes that come up while act runs (nested) are handled too.
            Act(w);
            // A check that failed inside must not leave the test waiting on an open box.
            if (QTest::currentTestFailed() && Last && Last->isVisible())
                Last->close();
        });
        Poll.start(5);
    }

private:
    std::function<void(QWidget *)> Act;
    bool Every;
    QPointer<QWidget> Last;
    QTimer Poll;
};

void ClickOk(QWidget *w) {
    if (auto *box = qobject_cast<QMessageBox *>(w))
        box->button(QMessageBox::Ok)->click();
}

QStringList MemoLines(QWidget *memo) {
    return static_cast<MemoView *>(memo)->Text().split('\n');
}

// Keys and short-cuts reach the application's active window. Waiting for the
// window's own activation is not enough offscreen: a popup's late activation
// can land after it closed and leave it "active" although hidden.
bool MainWindowActive(QWidget &main) {
    main.activateWindow();
    return QTest::qWaitFor([&] { return QApplication::activeWindow() == &main; }, 5000);
}

bool AnyLineEndsWith(const QStringList &lines, const QString &tail) {
    for (const auto &l : lines)
        if (l.endsWith(tail))
            return true;
    return false;
}

// A program folder, the windows and (optionally) simulated devices behind them.
struct Station {
    explicit Station(size_t devices) : Gang(devices), Clock({2026, 12, 7, 22, 15, 3, 0}) {
        Dir = fs::temp_directory_path() /
              ("pelmor_qt_" + std::to_string(::getpid()) + "_" + std::to_string(++Serial()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Windows = std::make_unique<VltWindows>(Clock, (Dir / "Pelmor200VLT").string());
        TSerialDeviceMap map;
        for (size_t i = 0; i < Gang.Size(); ++i)
            map.push_back({"\\Device\\VCP" + std::to_string(i), Gang.Device(i).PortPath()});
        Windows->Program().PortScan.DeviceMap = [map] { return map; };
        Windows->Program().PortScan.Pause = [](unsigned) {};
        Windows->Main().show();
    }
    ~Station() {
        Windows.reset();
        fs::remove_all(Dir);
    }
    static int &Serial() {
        static int n = 0;
        return n;
    }
    MainWindow &Main() { return Windows->Main(); }
    TProgramVLT &Form() { return Windows->Program().Form(); }
    VltContext &Ctx() { return Windows->Program().Context(); }
    QWidget *W(const char *name) { return Main().Widget(name); }

    TSimGang Gang;
    TFixedClock Clock;
    fs::path Dir;
    std::unique_ptr<VltWindows> Windows;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    // Picks a chip model through the chip button and its menu; returns with the
    // chip window closed and the main window active again.
    static void ChooseChip(Station &s, const QString &caption) {
        ModalWatch watch([&s, caption](QWidget *) {
            QMenu *menu = s.Windows->ChipSelt().Menu();
            // Clicked only once the menu has taken the focus, so no activation of it is still on its way.
            QTRY_VERIFY(menu->isVisible() && QGuiApplication::focusWindow() == menu->windowHandle());
            for (QAction *a : menu->actions())
                if (a->text() == caption)
                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        });
        QTest::mouseClick(s.W("DevButton"), Qt::LeftButton);
        QTRY_VERIFY(!s.Windows->ChipSelt().isVisible());
        QVERIFY(MainWindowActive(s.Main()));
    }
    // Loads a file through the toolbar's Load button and the file dialog.
    static void LoadFile(Station &s, const fs::path &file) {
        ModalWatch watch([file](QWidget *w) {
            auto *fd = qobject_cast<QFileDialog *>(w);
            QVERIFY(fd);
            // Typed into the name field and confirmed, as a user does.
            auto *name = fd->findChild<QLineEdit *>("fileNameEdit");
            QVERIFY(name);
            name->setText(QString::fromStdString(file.string()));
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(s.W("SpdBtnOpen"), Qt::LeftButton);
    }

private slots:
    void initTestCase() {
        // Closing a main window must not end the test run's event loops.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void firstShowGreetsAndConnectsEveryDevice() {
        Station s(4);
        QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelConnected == (std::array<uint8_t, 4>{1, 1, 1, 1}), 5000);
        const QStringList lines = MemoLines(s.W("InfoMemo"));
        QVERIFY(lines.first().startsWith("> 2026-12-07 22:15:03 Hello Pelmor200VLT User!------"));
        for (const char *b : {"DevSpdBtn1", "DevSpdBtn2", "DevSpdBtn3", "DevSpdBtn4"})
            QTRY_VERIFY(s.W(b)->isEnabled()); // replies are shown at the window's pace
        auto *pages = static_cast<QTabWidget *>(s.W("ViewPageCtrl"));
        QCOMPARE(pages->currentIndex(), 0);
        QVERIFY(!pages->isTabVisible(2));
        QCOMPARE(s.Main().windowTitle(), QString("Pelmor200VLT Chip Programmer"));
    }

    void chipMenuSetsTheChipAndShowsTheFamilyControls() {
        Station s(0);
        ChooseChip(s, "Vt7115");
        QTRY_COMPARE(s.Form().MCUNameEdit.Text(), std::string("Vt7115"));
        QTRY_VERIFY(!s.Windows->ChipSelt().isVisible());
        QCOMPARE(static_cast<QLineEdit *>(s.W("MCUNameEdit"))->text(), QString("Vt7115"));
        QCOMPARE(static_cast<QSpinBox *>(s.W("SpinEditPowTM"))->value(), 600);
        auto checked = [&](const char *group) {
            for (auto *r : s.W(group)->findChildren<QRadioButton *>())
                if (r->isChecked())
                    return r->text();
            return QString();
        };
        QCOMPARE(checked("RadioGpVolt"), QString("2.5V"));
        QCOMPARE(checked("RadioGrpPIF"), QString("Use I2C"));
        QVERIFY(s.W("RadioGrpPIF")->isVisibleTo(&s.Main()));
        QVERIFY(!s.W("RadioGrpPIF")->isEnabled());
        QVERIFY(!s.W("ChkBoxVfyE1")->isVisibleTo(&s.Main()));
        QVERIFY(!s.W("ChkBoxIgChip")->isVisibleTo(&s.Main()));
        QVERIFY(s.W("SpdButtnRdInfo")->isVisibleTo(&s.Main()));
        QCOMPARE(static_cast<QLineEdit *>(s.W("EditDevAddr"))->text(), QString("0x68"));
        QVERIFY(
            AnyLineEndsWith(MemoLines(s.W("InfoMemo")), "Chip of \"Vt7115\" is Selected.Chip ID is 0xE9C0."));
    }

    void commandsAndShortCutsRunOnEveryDevice() {
        Station s(2);
        QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelConnected[0] && s.Ctx().ChannelConnected[1], 5000);
        ChooseChip(s, "Vt7115");
        QTRY_COMPARE(s.Form().MCUNameEdit.Text(), std::string("Vt7115"));
        const fs::path bin = s.Dir / "data.BIN";
        {
            std::ofstream out(bin, std::ios::binary);
            for (int i = 0; i < 4096; ++i)
                out.put(static_cast<char>(i * 7));
        }
        LoadFile(s, bin);
        QTRY_VERIFY(s.Ctx().DataLoaded == 1);

        auto idle = [&] { return s.Ctx().ChannelBusy[0] == 0 && s.Ctx().ChannelBusy[1] == 0; };
        auto run = [&](const std::function<void()> &act, uint8_t cmd) {
            TSimDevice &dev = s.Gang.Device(1);
            const size_t before = dev.PacketCount();
            ModalWatch ok(ClickOk, true); // status boxes are answered as they come
            // The offscreen platform does not give the focus back after a box.
            QVERIFY(MainWindowActive(s.Main()));
            act();
            auto sent = [&] {
                const auto cmds = dev.Commands();
                const size_t fresh = std::min(dev.PacketCount() - before, cmds.size());
                return std::find(cmds.end() - static_cast<long>(fresh), cmds.end(), cmd) != cmds.end();
            };
            QTRY_VERIFY2_WITH_TIMEOUT(sent() && idle(),
                                      qPrintable(MemoLines(s.W("InfoMemo")).mid(30).join('\n')), 10000);
        };
        run([&] { QTest::mouseClick(s.W("SpdBtnDownLoad"), Qt::LeftButton); }, 0x53);
        QTRY_COMPARE(static_cast<QProgressBar *>(s.W("GaugeBar2"))->value(),
                     static_cast<QProgressBar *>(s.W("GaugeBar2"))->maximum());
        run([&] { QTest::keyClick(&s.Main(), Qt::Key_F7); }, 0x95);
        QTRY_VERIFY(AnyLineEndsWith(MemoLines(s.W("InfoMemo")), " Device 2 : Operation Success!"));
        run([&] { QTest::keyClick(&s.Main(), Qt::Key_F8); }, 0x9B);
        run([&] { QTest::keyClick(&s.Main(), Qt::Key_D, Qt::ControlModifier); }, 0x53);
        run([&] { QTest::mouseClick(s.W("SpdBtnProg"), Qt::LeftButton); }, 0x95);
    }

    void fileShortCutsLoadSaveAndExit() {
        Station s(0);
        QTRY_VERIFY(!s.Form().InfoMemo.Lines.empty());
        ChooseChip(s, "Vt7131");
        QTRY_COMPARE(s.Form().MCUNameEdit.Text(), std::string("Vt7131"));
        const fs::path bin = s.Dir / "in.BIN";
        std::ofstream(bin, std::ios::binary) << std::string(4096, '\x11');
        auto answer = [](const fs::path &file) {
            return [file](QWidget *w) {
                auto *fd = qobject_cast<QFileDialog *>(w);
                QVERIFY(fd);
                auto *name = fd->findChild<QLineEdit *>("fileNameEdit");
                name->setText(QString::fromStdString(file.string()));
                QTest::keyClick(name, Qt::Key_Return);
            };
        };
        {
            ModalWatch watch(answer(bin));
            QTest::keyClick(&s.Main(), Qt::Key_L, Qt::ControlModifier);
            QTRY_COMPARE(s.Ctx().DataLoaded, uint8_t{1});
        }
        const fs::path out = s.Dir / "out.bin";
        QStringList boxes;
        {
            ModalWatch watch(
                [&](QWidget *w) {
                    if (auto *box = qobject_cast<QMessageBox *>(w)) {
                        boxes << box->text();
                        ClickOk(w);
                    } else {
                        answer(out)(w);
                    }
                },
                true);
            QVERIFY(MainWindowActive(s.Main()));
            QTest::keyClick(&s.Main(), Qt::Key_S, Qt::ControlModifier);
            QTRY_COMPARE(boxes.size(), 1);
        }
        QCOMPARE(boxes.first(),
                 QString("FIle \"%1\" has been saved!").arg(QString::fromStdString(out.string())));
        QVERIFY(fs::file_size(out) > 0);
        QVERIFY(MainWindowActive(s.Main()));
        QTest::keyClick(&s.Main(), Qt::Key_X, Qt::ControlModifier);
        QTRY_VERIFY(!s.Main().isVisible());
    }

    void otherChannelsGoOnWhileAStatusBoxIsOpen() {
        Station s(2);
        QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelConnected[0] && s.Ctx().ChannelConnected[1], 5000);
        ChooseChip(s, "Vt7117");
        const fs::path bin = s.Dir / "data.BIN";
        std::ofstream(bin, std::ios::binary) << std::string(4096, '\x5A');
        LoadFile(s, bin);
        QTRY_VERIFY(s.Ctx().DataLoaded == 1);

        // Channel 1 fails at once; channel 2's reply is held back until the box
        // is open, then dribbles in.
        s.Gang.Device(0).InjectStatus(0x25);
        s.Gang.Device(1).InjectHold();
        s.Gang.Device(1).InjectSplit(4, std::chrono::milliseconds(25));
        bool sawBox = false;
        ModalWatch watch(
            [&](QWidget *w) {
                if (sawBox) { // later boxes
                    ClickOk(w);
                    return;
                }
                auto *box = qobject_cast<QMessageBox *>(w);
                QVERIFY(box);
                QCOMPARE(box->text(), QString("Unknow Command!"));
                sawBox = true;
                QTRY_VERIFY_WITH_TIMEOUT(s.Gang.Device(1).HoldsReply(), 10000);
                QCOMPARE(s.Ctx().ChannelBusy[1], uint8_t{1});
                // While this box stays open, channel 2 finishes.
                s.Gang.Device(1).ReleaseHeld();
                QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelBusy[1] == 0, 10000);
                QTRY_VERIFY(AnyLineEndsWith(MemoLines(s.W("InfoMemo")), " Device 2 : Operation Success!"));
                QVERIFY(box->isVisible());
                ClickOk(box);
            },
            true);
        QTest::mouseClick(s.W("SpdBtnProg"), Qt::LeftButton);
        QTRY_VERIFY(sawBox);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QTRY_VERIFY(AnyLineEndsWith(MemoLines(s.W("InfoMemo")), " Device 1 : Operation Failed!"));
    }

    void timerGoesOnWhileAStatusBoxIsOpen() {
        Station s(2);
        QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelConnected[0] && s.Ctx().ChannelConnected[1], 5000);
        ChooseChip(s, "Vt7117");
        const fs::path bin = s.Dir / "data.BIN";
        std::ofstream(bin, std::ios::binary) << std::string(4096, '\x5A');
        LoadFile(s, bin);
        QTRY_VERIFY(s.Ctx().DataLoaded == 1);
        s.Gang.Device(0).InjectStatus(0x2F);
        s.Gang.Device(1).InjectSilence(SIZE_MAX);
        bool done = false;
        ModalWatch watch(
            [&](QWidget *w) {
                if (done) {
                    ClickOk(w);
                    return;
                }
                done = true;
                QCOMPARE(static_cast<QMessageBox *>(w)->text(), QString("OTP is Full!"));
                // Channel 2 waits for a reply that never comes: only Timer1 can end it.
                s.Ctx().ChannelTimeout[1] = 5;
                QTRY_VERIFY_WITH_TIMEOUT(
                    AnyLineEndsWith(MemoLines(s.W("InfoMemo")), "Chip2: Operation Timeout!"), 5000);
                QVERIFY(w->isVisible());
                QCOMPARE(static_cast<GaugeView *>(s.W("GaugeBar2"))->BarColour(), QColor(Qt::red));
                ClickOk(w);
            },
            true);
        QTest::mouseClick(s.W("SpdBtnProg"), Qt::LeftButton);
        QTRY_VERIFY(done && !QApplication::activeModalWidget());
        QTRY_COMPARE(static_cast<GaugeView *>(s.W("GaugeBar1"))->BarColour(), QColor(Qt::red));
    }

    // A programmer unplugged in the middle of an operation: the hang-up
    // disables its channel, and the operation then ends by time-out. The
    // gauge reads as a failure, red and full, not as a grey finished "100%".
    void anUnpluggedProgrammersGaugeReadsRed() {
        Station s(1);
        QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelConnected[0] == 1, 5000);
        ChooseChip(s, "Vt7115");
        QTRY_COMPARE(s.Form().MCUNameEdit.Text(), std::string("Vt7115"));
        const fs::path bin = s.Dir / "data.BIN";
        std::ofstream(bin, std::ios::binary) << std::string(4096, '\x44');
        LoadFile(s, bin);
        QTRY_VERIFY(s.Ctx().DataLoaded == 1);
        // The time-out is counted in ticks given here, not by the window's timer.
        s.Main().Handle([&s] { s.Form().Timer1.Enabled = false; });
        QVERIFY(!s.Main().Timer().isActive());

        TSimDevice &dev = s.Gang.Device(0);
        dev.InjectSilence(SIZE_MAX);
        const size_t before = dev.PacketCount();
        QVERIFY(MainWindowActive(s.Main()));
        QTest::mouseClick(s.W("SpdBtnDownLoad"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dev.PacketCount() > before && s.Ctx().ChannelBusy[0] == 1, 5000);
        auto *gauge = static_cast<GaugeView *>(s.W("GaugeBar1"));
        dev.HangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!gauge->isEnabled(), 5000);
        QCOMPARE(s.Ctx().ChannelBusy[0], uint8_t{1});
        s.Main().Handle([&s] { s.Ctx().ChannelTimeout[0] = 2; });
        s.Main().Handle([&s] { s.Windows->Program().Tick(); });
        QCOMPARE(s.Ctx().ChannelBusy[0], uint8_t{1});
        s.Main().Handle([&s] { s.Windows->Program().Tick(); });
        QCOMPARE(s.Ctx().ChannelBusy[0], uint8_t{0});
        QTRY_VERIFY(AnyLineEndsWith(MemoLines(s.W("InfoMemo")), "Device1: Operation Timeout!"));

        QTRY_COMPARE(gauge->value(), gauge->maximum());
        QVERIFY(!gauge->isEnabled());
        QCOMPARE(gauge->BarColour(), QColor(Qt::red));
        const QImage shot = gauge->grab().toImage();
        for (const QPoint &at : BarPoints(shot, 100)) {
            const QString red = PlainlyOfHue(shot.pixelColor(at), QColor(Qt::red));
            QVERIFY2(red.isEmpty(), qPrintable(red));
        }
        // "100%" over the bar, greyed as the rest of a disabled control.
        const QColor bar = shot.pixelColor(BarPoints(shot, 100).front());
        const QColor label = LabelColourOverBar(shot, bar, shot.width());
        QVERIFY2(label.isValid() && label.hsvSaturation() <= 4 && label.lightness() >= 40 &&
                     label.lightness() <= 215,
                 qPrintable(label.name()));
    }

    void handlerErrorsAndTheSmallMenus() {
        Station s(0);
        QTRY_VERIFY(!s.Form().InfoMemo.Lines.empty());
        ChooseChip(s, "Vt7115");
        const fs::path bin = s.Dir / "data.BIN";
        std::ofstream(bin, std::ios::binary) << std::string(4096, '\x01');
        LoadFile(s, bin);
        QTRY_VERIFY(s.Ctx().DataLoaded == 1);
        // A conversion error of a handler reaches the error dialog.
        auto *addr = static_cast<QLineEdit *>(s.W("EditDevAddr"));
        addr->selectAll();
        QTest::keyClicks(addr, "zz");
        QCOMPARE(s.Form().EditDevAddr.Text(), std::string("zz"));
        QStringList errors;
        {
            ModalWatch watch([&](QWidget *w) {
                errors << static_cast<QMessageBox *>(w)->text();
                ClickOk(w);
            });
            QTest::mouseClick(s.W("SpdBtnProg"), Qt::LeftButton);
        }
        QCOMPARE(errors, QStringList{"'zz' is not a valid integer value"});

        // The memo's popup: copy, then clear.
        QMenu *popup = s.W("InfoMemo")->findChild<QMenu *>();
        QVERIFY(popup);
        QStringList items;
        for (QAction *a : popup->actions())
            items << a->text();
        QCOMPARE(items, (QStringList{"Clear Information", "Copy Information", "Save Information to File"}));
        popup->actions().at(1)->trigger();
        std::string copied;
        for (const auto &l : s.Form().InfoMemo.Lines)
            copied += l + "\n";
        QCOMPARE(QApplication::clipboard()->text().toStdString(), copied);
        popup->actions().at(0)->trigger();
        QCOMPARE(static_cast<MemoView *>(s.W("InfoMemo"))->Text(), QString());
        s.Form().AddInfoLine("after");
        s.Main().RefreshAll();
        QCOMPARE(MemoLines(s.W("InfoMemo")), QStringList{"> 2026-12-07 22:15:03 after"});

        // About box: shown modally, OK ends it.
        QStringList lines;
        {
            ModalWatch watch([&](QWidget *w) {
                for (auto *l : w->findChildren<QLabel *>())
                    if (!l->text().isEmpty())
                        lines << l->text();
                QTest::mouseClick(w->findChild<QPushButton *>("OKButton"), Qt::LeftButton);
            });
            s.Main().Action("About1")->trigger();
        }
        QCOMPARE(lines, (QStringList{"Pelmor200VLT Programmer", "Version V1.8"}));
        QVERIFY(!QApplication::activeModalWidget());
    }

    void menuAndPopupSaveThePanelToTheFileGiven() {
        Station s(0);
        QTRY_VERIFY(!s.Form().InfoMemo.Lines.empty());
        QMenu *popup = s.W("InfoMemo")->findChild<QMenu *>();
        QVERIFY(popup);
        const std::pair<const char *, QAction *> items[] = {
            {"menu.log", s.Main().Action("SaveInfotoFile2")},
            {"popup.log", popup->actions().at(2)},
        };
        for (const auto &[name, action] : items) {
            const fs::path file = s.Dir / name;
            s.Form().AddInfoLine(name);
            s.Main().RefreshAll();
            ModalWatch watch([&](QWidget *w) {
                auto *fd = qobject_cast<QFileDialog *>(w);
                QVERIFY(fd);
                fd->selectFile(QString::fromStdString(file.string()));
                QMetaObject::invokeMethod(fd, "accept");
            });
            action->trigger();
            std::ifstream in(file, std::ios::binary);
            const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            QCOMPARE(got, s.Form().InfoMemo.Text());
        }
    }

    void logIsWrittenAtCloseForEachMode() {
        struct Case {
            const char *what;
            int creat, mode;
            const char *before;
            bool header;
        };
        const Case cases[] = {
            {"new file", 1, 0, "old\r\n", false},
            {"overwrite", 1, 1, "old\r\n", false},
            {"append to a missing file", 1, 2, nullptr, true},
            {"append", 1, 2, "old\r\n", false},
        };
        for (const auto &c : cases) {
            Station s(0);
            QTRY_VERIFY(!s.Form().InfoMemo.Lines.empty());
            const fs::path log = s.Dir / "mine.log";
            if (c.before)
                std::ofstream(log, std::ios::binary) << c.before;
            // The operator's choices, made in the dialog.
            ModalWatch watch([&](QWidget *w) {
                LogCfgDialog &dlg = s.Windows->LogCfg();
                QCOMPARE(w, static_cast<QWidget *>(&dlg));
                dlg.Widget("RadioGrpCreat")->findChildren<QRadioButton *>().at(c.creat)->click();
                dlg.Widget("RadioGrpMod")->findChildren<QRadioButton *>().at(c.mode)->click();
                auto *name = static_cast<QLineEdit *>(dlg.Widget("EditLogName"));
                name->setFocus();
                name->selectAll();
                QTest::keyClick(name, Qt::Key_Delete);
                QTest::keyClicks(name, QString::fromStdString(log.string()));
                QTest::mouseClick(dlg.Widget("OK"), Qt::LeftButton);
            });
            s.Main().Action("CfgLog")->trigger();
            QVERIFY(!s.Windows->LogCfg().isVisible());
            std::string expected = c.before && c.mode == 2 ? c.before : "";
            if (c.header)
                expected += "Corvane Log File!\r\n";
            for (const auto &l : s.Form().InfoMemo.Lines)
                expected += l + "\r\n";
            QVERIFY(s.Main().close());
            std::ifstream in(log, std::ios::binary);
            const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            QCOMPARE(got, expected);
        }
    }

    void automaticLogAndAFailedOperatorsLogKeepTheWindowOpen() {
        Station s(0);
        QTRY_VERIFY(!s.Form().InfoMemo.Lines.empty());
        for (int i = 0; i < 7; ++i)
            s.Form().AddInfoLine("line");
        QVERIFY(s.Main().close());
        QVERIFY(fs::exists(s.Dir / "Log" / "VLT_2026_12_07_22_15_03.log"));

        Station t(0);
        QTRY_VERIFY(!t.Form().InfoMemo.Lines.empty());
        t.Form().LogCfgForm.RadioGrpCreat.ItemIndex = 1;
        t.Form().LogCfgForm.EditLogName.SetText((t.Dir / "no" / "such" / "x.log").string());
        QString shown;
        ModalWatch watch([&](QWidget *w) {
            shown = static_cast<QMessageBox *>(w)->text();
            ClickOk(w);
        });
        QVERIFY(!t.Main().close());
        QVERIFY(shown.startsWith("Cannot create file"));
        QVERIFY(t.Main().isVisible());
    }

    // A log that cannot be written at Exit: the error box comes, the window
    // stays, and its channel serves the next command as before.
    void aFailedLogAtExitLeavesTheChannelsWorking() {
        Station s(1);
        QTRY_VERIFY_WITH_TIMEOUT(s.Ctx().ChannelConnected[0] == 1, 5000);
        ChooseChip(s, "Vt7115");
        QTRY_COMPARE(s.Form().MCUNameEdit.Text(), std::string("Vt7115"));
        const fs::path bin = s.Dir / "data.BIN";
        std::ofstream(bin, std::ios::binary) << std::string(4096, '\x33');
        LoadFile(s, bin);
        QTRY_VERIFY(s.Ctx().DataLoaded == 1);

        s.Form().LogCfgForm.RadioGrpCreat.ItemIndex = 1;
        s.Form().LogCfgForm.EditLogName.SetText((s.Dir / "no" / "such" / "x.log").string());
        QString shown;
        {
            ModalWatch watch([&](QWidget *w) {
                shown = static_cast<QMessageBox *>(w)->text();
                ClickOk(w);
            });
            QVERIFY(MainWindowActive(s.Main()));
            QTest::mouseClick(s.W("SpdBtnExit"), Qt::LeftButton);
        }
        QVERIFY(shown.startsWith("Cannot create file"));
        QVERIFY(s.Main().isVisible());
        QVERIFY(s.Windows->Program().Comm(1).IsOpen());
        QCOMPARE(s.Ctx().ChannelConnected[0], uint8_t{1});

        TSimDevice &dev = s.Gang.Device(0);
        const size_t before = dev.PacketCount();
        ModalWatch ok(ClickOk, true); // status boxes are answered as they come
        QVERIFY(MainWindowActive(s.Main()));
        QTest::mouseClick(s.W("SpdBtnDownLoad"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dev.PacketCount() > before && s.Ctx().ChannelBusy[0] == 0, 10000);
        auto *gauge = static_cast<QProgressBar *>(s.W("GaugeBar1"));
        QTRY_COMPARE(gauge->value(), gauge->maximum());
        QVERIFY(!AnyLineEndsWith(MemoLines(s.W("InfoMemo")), "Operation Timeout!"));
        QVERIFY(!AnyLineEndsWith(MemoLines(s.W("InfoMemo")), "Operation Failed!"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
