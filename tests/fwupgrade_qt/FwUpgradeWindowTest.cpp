// The upgrade tool's Qt window, offscreen: widgets built from the model, each
// control calling its handler, the model shown after every event.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "../fwupgrade/UgReplies.h"
#include "../serial/PtyPair.h"
#include "forms/RecordingDialogs.h"
#include "forms/qt/GaugeView.h"
#include "forms/qt/MemoView.h"
#include "forms/qt/ViewBinder.h"
#include "fwupgrade/FwUpgradeProgram.h"
#include "fwupgrade/UgProtocol.h"
#include "fwupgrade/qt/AboutDialog.h"
#include "fwupgrade/qt/ApplicationTitle.h"
#include "fwupgrade/qt/FwUpgradeWindow.h"
#include "platform/EventQueue.h"
#include "serial/Comm.h"

using namespace fwug;
using Kind = RecordingDialogs::Kind;

class FwUpgradeWindowTest : public QObject {
    Q_OBJECT

    struct Fixture {
        TPumpQueue queue;
        RecordingDialogs dialogs;
        TFwUpgradeProgram program{queue, dialogs};
        TFwUpgradeWindow window{program};
        TFirmWareUG &f = program.Form();
        // No ports: the first show must not touch the machine's serial ports.
        Fixture() {
            program.Context().DeviceMap = [] { return TSerialDeviceMap{}; };
            program.Context().Pause = [](unsigned) {};
            // The update region the first show sets.
            program.Context().UgStartAddr = 0x2000;
            program.Context().UgEndAddr = 0x4FFF;
        }
        // An operation needs an open port to go to; nothing answers on it.
        TPtyPair pty;
        void OpenPort() {
            program.Comm().SetCommName(pty.SlavePath);
            program.Comm().OpenPort();
        }
        // Bytes arriving on the port, through the event the window wrapped.
        void Receive(const std::vector<uint8_t> &bytes) {
            program.Comm().OnReceiveData(program.Comm(), bytes.data(), static_cast<uint16_t>(bytes.size()));
        }
    };

private slots:
    void BuildsEveryControlFromTheModel() {
        Fixture x;
        QCOMPARE(x.window.windowTitle(), QString("Pelmor200ENX Firmware Upgrade Wizard"));
        struct Case {
            const TButton &b;
            const char *caption, *hint;
            bool enabled;
        };
        const Case cases[] = {
            {x.f.SpdBtnDownLoad, "下载更新", "下载目标程序到编程器的FLASH中", false},
            {x.f.SpdBtnVerify, "校验", "目标MCU编程结果校验", false},
            {x.f.SpdBtnExit, "退出", "Exit Application", true},
            {x.f.BitBtnFind, "查找设备", "", true},
            {x.f.BitBtnFresh, "刷新列表", "", true},
        };
        for (const auto &c : cases) {
            QAbstractButton *w = x.window.Widget(c.b);
            QVERIFY(w);
            QCOMPARE(w->text(), QString::fromUtf8(c.caption));
            QCOMPARE(w->toolTip(), QString::fromUtf8(c.hint));
            QCOMPARE(w->isEnabled(), c.enabled);
        }
        QCOMPARE(x.window.DeviceLabel()->text(), QString::fromUtf8("设备......"));
        QCOMPARE(x.window.PortCombo()->currentText(), QString::fromUtf8("请选择通讯口......"));
        QCOMPARE(x.window.Gauge()->value(), 0);
        QStringList menus;
        for (TMenuItem *top : x.f.MainMenu1.Items)
            for (TMenuItem *item : top->Items)
                menus << x.window.Action(*top)->text() + "/" + x.window.Action(*item)->text();
        QCOMPARE(menus,
                 (QStringList{"&File/E&xit", "&Execute/&Upgrade", "&Execute/&Verification", "&Help/About"}));
        QCOMPARE(x.window.InfoPopup()->actions().size(), 1);
        QCOMPARE(x.window.InfoPopup()->actions()[0]->text(), QString("Clear Info"));
    }

    // The whole client area of the design lies below the menu bar: the gauge
    // along the bottom edge is on the window, not cut off.
    void EveryControlIsInsideTheShownWindow() {
        Fixture x;
        x.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&x.window));
        QWidget *central = x.window.centralWidget();
        QCOMPARE(central->height(), x.f.Height);
        for (QWidget *w : {static_cast<QWidget *>(x.window.Gauge()), static_cast<QWidget *>(x.window.Memo())})
            QVERIFY2(central->rect().contains(w->geometry()), qPrintable(w->metaObject()->className()));
    }

    // The toolkit appends a display name, once one is set, to every window's
    // caption: the application set-up must set none, so the main window shows
    // "Pelmor200VLT Firmware Upgrade Wizard - RV3" and nothing after it.
    void ApplicationSetUpLeavesWindowCaptionsAsTheySet() {
        SetUpApplication();
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
        QCOMPARE(ApplicationTitle(), QString("Pelmor200ENX Firmware Upgrade"));
    }

    // A probe reply on the port enables the buttons, names the device and
    // appends the panel line; Refresh disables the buttons again.
    void PortEventAndRefreshButtonUpdateTheWidgets() {
        Fixture x;
        x.Receive(ugtest::ProbeReply("Pelmor200VLT"));
        QVERIFY(x.window.Widget(x.f.SpdBtnDownLoad)->isEnabled());
        QVERIFY(x.window.Widget(x.f.SpdBtnVerify)->isEnabled());
        QCOMPARE(x.window.DeviceLabel()->text(), QString("Pelmor200VLT"));
        QCOMPARE(x.window.Memo()->Text(), QString("> Find Device : Pelmor200VLT!"));
        x.window.Widget(x.f.BitBtnFresh)->click();
        QVERIFY(!x.window.Widget(x.f.SpdBtnDownLoad)->isEnabled());
        QVERIFY(!x.window.Widget(x.f.SpdBtnVerify)->isEnabled());
        QCOMPARE(x.program.Context().DeviceFound, uint8_t{0});
    }

    // With a port open but no device found yet.
    void UpgradeMenuStartsAnUpgradeWithTheButtonsDisabled() {
        Fixture x;
        x.OpenPort();
        QVERIFY(!x.window.Widget(x.f.SpdBtnDownLoad)->isEnabled());
        x.window.Widget(x.f.SpdBtnDownLoad)->click();
        QCOMPARE(x.program.Context().UgState, uint8_t{UgIdle});
        x.window.Action(x.f.Upgrade1)->trigger();
        QCOMPARE(x.program.Context().UgState, uint8_t{UgUpgradeRunning});
        QCOMPARE(x.window.Gauge()->maximum(), 12);
        QCOMPARE(x.window.Gauge()->value(), 2);
    }

    void VerificationMenuDoesNothing() {
        Fixture x;
        x.window.Action(x.f.Verification1)->trigger();
        QCOMPARE(x.program.Context().UgState, uint8_t{UgIdle});
        QVERIFY(x.dialogs.Calls.empty());
        QCOMPARE(x.window.Gauge()->value(), 0);
    }

    void VerifyButtonStartsTheVerify() {
        Fixture x;
        x.OpenPort();
        x.Receive(ugtest::ProbeReply("Pelmor200VLT"));
        x.window.Widget(x.f.SpdBtnVerify)->click();
        QCOMPARE(x.program.Context().UgState, uint8_t{UgVerifyRunning});
        QCOMPARE(x.window.Gauge()->value(), 10);
        x.Receive(ugtest::VerifyReply(0x1234, 0x10DB, 0x10DB, 0x4B5C));
        QCOMPARE(x.dialogs.Texts(Kind::Error), std::vector<std::string>{"总数据校验和不一致！"});
        QCOMPARE(x.window.Gauge()->value(), 100);
        QCOMPARE(x.window.Gauge()->BarColour(), QtColor(TColor::Red));
    }

    // The window's 20 ms timer runs only while an operation waits, and its
    // ticks reach the handler: an overdue verify fails in the widgets. A
    // hang-up under an upgrade fails the same way.
    void TimerAndHangUpEndAnOperationInTheWidgets() {
        Fixture x;
        QTimer *timer = x.window.Timer();
        QVERIFY(timer);
        QVERIFY(!timer->isActive());
        x.OpenPort();
        x.Receive(ugtest::ProbeReply("Pelmor200VLT"));
        x.window.Widget(x.f.SpdBtnVerify)->click();
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 20);
        x.program.Context().UgTimeout = 2; // the last ticks of the 10 s
        QTRY_COMPARE(x.dialogs.Texts(Kind::Error), std::vector<std::string>{"命令执行超时"});
        QVERIFY(!timer->isActive());
        QCOMPARE(x.window.Gauge()->value(), 100);
        QCOMPARE(x.window.Gauge()->BarColour(), QtColor(TColor::Red));
        QVERIFY(x.window.Memo()->Text().endsWith(QString::fromUtf8("> 命令执行超时")));

        x.dialogs.Calls.clear();
        x.window.Widget(x.f.SpdBtnDownLoad)->click();
        QVERIFY(timer->isActive());
        x.program.Comm().OnRequestHangup(x.program.Comm());
        QCOMPARE(x.dialogs.Texts(Kind::Error), std::vector<std::string>{"通讯设备已断开！"});
        QVERIFY(!timer->isActive());
        QCOMPARE(x.window.Gauge()->value(), 12);
        QCOMPARE(x.window.Gauge()->BarColour(), QtColor(TColor::Red));
        QVERIFY(x.window.Memo()->Text().endsWith(QString::fromUtf8("> 通讯设备已断开！")));
        QVERIFY(!x.window.Widget(x.f.SpdBtnDownLoad)->isEnabled());
        QVERIFY(!x.window.Widget(x.f.SpdBtnVerify)->isEnabled());
        QCOMPARE(x.window.DeviceLabel()->text(), QString::fromUtf8("设备......"));
    }

    void PopupClearsTheInformationPanel() {
        Fixture x;
        x.Receive(ugtest::ProbeReply("Pelmor200VLT"));
        QVERIFY(!x.window.Memo()->Text().isEmpty());
        x.window.InfoPopup()->actions()[0]->trigger();
        QVERIFY(x.window.Memo()->Text().isEmpty());
        // Lines added after the clear are shown from the start of the panel.
        x.OpenPort();
        x.window.Action(x.f.Upgrade1)->trigger();
        x.Receive(ugtest::BlockReply(0, 0x25));
        QCOMPARE(x.window.Memo()->Text(), QString::fromUtf8("> 命令不正确或不认识"));
    }

    void AboutMenuShowsTheAboutBox() {
        Fixture x;
        x.window.Action(x.f.About1)->trigger();
        QCOMPARE(x.dialogs.Calls, (std::vector<RecordingDialogs::Call>{{Kind::ShowModal, "About"}}));
    }

    // The About box the program registers for the menu: its caption, both
    // labels and an OK button that closes it.
    void AboutBoxShowsItsLabelsAndClosesOnOk() {
        Fixture x;
        TAboutDialog about(x.program.AboutForm());
        QCOMPARE(about.windowTitle(), QString("About"));
        QStringList labels;
        for (const QLabel *l : about.findChildren<QLabel *>())
            labels << l->text();
        QCOMPARE(labels, (QStringList{"Pelmor200XX Firmware Upgrade Wizard.", "Version V1.5"}));
        const auto buttons = about.findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons[0]->text(), QString("OK"));
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        buttons[0]->click();
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void ExitButtonAndMenuCloseTheWindow() {
        for (bool menu : {false, true}) {
            Fixture x;
            x.window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&x.window));
            if (menu)
                x.window.Action(x.f.Exit1)->trigger();
            else
                x.window.Widget(x.f.SpdBtnExit)->click();
            QVERIFY(!x.window.isVisible());
        }
    }

    // Picking a port keeps its text; the pick does not change the probed port.
    void PortPickRunsTheChangeHandler() {
        Fixture x;
        x.f.ComboBoxCOM.AddItem("ttyUSB0");
        x.f.ComboBoxCOM.AddItem("ttyUSB1");
        x.window.ShowModel();
        QCOMPARE(x.window.PortCombo()->count(), 2);
        emit x.window.PortCombo()->activated(1);
        QCOMPARE(x.f.ComboBoxCOM.ItemIndex, 1);
        QCOMPARE(x.f.ComboBoxCOM.Text, std::string("ttyUSB1"));
        QCOMPARE(x.window.PortCombo()->currentText(), QString("ttyUSB1"));
    }

    // A handler's exception is caught at the entry point and shown.
    void HandlerErrorsAreShownInAnErrorBox() {
        Fixture x;
        x.f.BitBtnFind.OnClick = [] { throw ECommsError(kMsgErrorOpening); };
        x.window.Widget(x.f.BitBtnFind)->click();
        QCOMPARE(x.dialogs.Texts(Kind::Error), std::vector<std::string>{kMsgErrorOpening});
    }

    void ScreenshotShowsTheChineseCaptions() {
        Fixture x;
        x.Receive(ugtest::ProbeReply("Pelmor200VLT"));
        x.f.InfoMemo.Add(" *           更新区 CheckSum 1 = 0x10DB               *");
        x.window.ShowModel();
        x.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&x.window));
        // The first show ran: banner, caption, and no port found.
        QTRY_COMPARE(x.window.windowTitle(), QString("Pelmor200VLT Firmware Upgrade Wizard - RV3"));
        QCOMPARE(x.window.PortCombo()->currentText(), QString("No Device Availiable"));
        const QImage shot = x.window.grab().toImage();
        QVERIFY(!shot.isNull());
        const QString path = QString(SCREENSHOT_DIR) + "/fwupgrade-window.png";
        QVERIFY(shot.save(path));
        // The caption of the download button is drawn: its area is not one flat colour.
        const QRect r =
            x.window.Widget(x.f.SpdBtnDownLoad)
                ->geometry()
                .translated(
                    x.window.Widget(x.f.SpdBtnDownLoad)->parentWidget()->mapTo(&x.window, QPoint(0, 0)));
        const QImage button = shot.copy(r);
        QSet<QRgb> colours;
        for (int y = 0; y < button.height(); ++y)
            for (int xx = 0; xx < button.width(); ++xx)
                colours.insert(button.pixel(xx, y));
        QVERIFY(colours.size() > 2);
    }
};

QTEST_MAIN(FwUpgradeWindowTest)
#include "FwUpgradeWindowTest.moc"
