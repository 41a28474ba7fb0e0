#include "fwupgrade/qt/FwUpgradeWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <exception>

#include "forms/Dialogs.h"
#include "forms/qt/GaugeView.h"
#include "forms/qt/MemoView.h"
#include "fwupgrade/FwUpgradeProgram.h"
#include "serial/Comm.h"

namespace fwug {

namespace {

void Place(QWidget *w, const TControl &c) {
    w->setGeometry(c.Left, c.Top, c.Width, c.Height);
}

} // namespace

TFwUpgradeWindow::TFwUpgradeWindow(TFwUpgradeProgram &program, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Program(program), Binder([this](const ViewBinder::Action &a) { RunEvent(a); }) {
    setObjectName("FirmWareUG");
    BuildWidgets();
    BuildMenus();
    // The design's client area below the menu bar, measured once it has its menus.
    setFixedSize(Program.Form().Width, Program.Form().Height + menuBar()->sizeHint().height());
    WirePort();
    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, [this] { RunEvent([this] { Program.Tick(); }); });
    Program.Context().CloseWindow = [this] { close(); };
    ShowModel();
}

void TFwUpgradeWindow::MakeButton(TButton &b, QWidget *parent, bool speed) {
    QAbstractButton *w = nullptr;
    if (speed) {
        auto *t = new QToolButton(parent);
        t->setAutoRaise(b.Flat);
        w = t;
    } else {
        w = new QPushButton(parent);
    }
    Place(w, b);
    Binder.Bind(b, w);
    Buttons[&b] = w;
}

void TFwUpgradeWindow::BuildWidgets() {
    TFirmWareUG &f = Program.Form();
    auto *central = new QWidget(this);
    setCentralWidget(central);

    auto *panel = new QFrame(central);
    panel->setFrameShape(QFrame::StyledPanel);
    Place(panel, f.Panel1);
    MakeButton(f.SpdBtnDownLoad, panel, true);
    MakeButton(f.SpdBtnVerify, panel, true);
    MakeButton(f.SpdBtnExit, panel, true);
    // A panel used as a label.
    DevLabel = new QLabel(panel);
    DevLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    DevLabel->setAlignment(Qt::AlignCenter);
    Place(DevLabel, f.DevLabel);
    Binder.Bind(f.DevLabel, DevLabel);

    auto *group = new QGroupBox(QtText(f.GroupBox1.Caption), central);
    Place(group, f.GroupBox1);
    auto *label9 = new QLabel(group);
    Place(label9, f.Label9);
    Binder.Bind(f.Label9, label9);
    ComboBoxCOM = new QComboBox(group);
    Place(ComboBoxCOM, f.ComboBoxCOM);
    Binder.Bind(f.ComboBoxCOM, ComboBoxCOM);
    MakeButton(f.BitBtnFind, group, false);
    MakeButton(f.BitBtnFresh, group, false);

    // Its popup menu PopupMenu1 comes with it.
    InfoMemo = new MemoView(central);
    InfoMemo->SetWrap(false);
    Place(InfoMemo, f.InfoMemo);
    Binder.Bind(f.InfoMemo, InfoMemo);

    ProgressBar1 = new GaugeView(central);
    Place(ProgressBar1, f.ProgressBar1);
    Binder.Bind(f.ProgressBar1, ProgressBar1);
    ProgressBar1->setTextVisible(false);
}

void TFwUpgradeWindow::BuildMenus() {
    for (TMenuItem *top : Program.Form().MainMenu1.Items) {
        QMenu *menu = menuBar()->addMenu(QtText(top->Caption));
        Actions[top] = menu->menuAction();
        for (TMenuItem *item : top->Items) {
            QAction *a = menu->addAction(QString());
            Binder.Bind(*item, a);
            Actions[item] = a;
        }
    }
}

void TFwUpgradeWindow::WirePort() {
    // The port's events are entry points too: wrap the handlers the program
    // wired so each one is guarded and followed by showing the model.
    TComm &comm = Program.Comm();
    auto receive = comm.OnReceiveData;
    comm.OnReceiveData = [this, receive](TComm &c, const uint8_t *buffer, uint16_t length) {
        RunEvent([&] { receive(c, buffer, length); });
    };
    auto hangup = comm.OnRequestHangup;
    comm.OnRequestHangup = [this, hangup](TComm &c) { RunEvent([&] { hangup(c); }); };
}

void TFwUpgradeWindow::RunEvent(const std::function<void()> &fn) {
    try {
        fn();
    } catch (const std::exception &e) {
        ShowModel();
        Program.Context().Dialogs->Error(e.what());
    }
    ShowModel();
}

void TFwUpgradeWindow::ShowModel() {
    const QString title = QtText(Program.Form().Caption);
    if (windowTitle() != title)
        setWindowTitle(title);
    Binder.Refresh();
    SyncTimer();
}

void TFwUpgradeWindow::SyncTimer() {
    const TTimer &t = Program.Form().Timer1;
    if (t.Enabled == Timer1->isActive())
        return;
    if (t.Enabled)
        Timer1->start(t.Interval);
    else
        Timer1->stop();
}

QAbstractButton *TFwUpgradeWindow::Widget(const TButton &b) const {
    auto it = Buttons.find(&b);
    return it == Buttons.end() ? nullptr : it->second;
}

QAction *TFwUpgradeWindow::Action(const TMenuItem &m) const {
    auto it = Actions.find(&m);
    return it == Actions.end() ? nullptr : it->second;
}

QMenu *TFwUpgradeWindow::InfoPopup() const {
    return InfoMemo->findChild<QMenu *>();
}

void TFwUpgradeWindow::showEvent(QShowEvent *e) {
    QMainWindow::showEvent(e);
    if (Shown)
        return;
    Shown = true;
    // The first show runs once the window is on the screen.
    QTimer::singleShot(0, this, [this] { RunEvent([this] { Program.Show(); }); });
}

void TFwUpgradeWindow::closeEvent(QCloseEvent *e) {
    RunEvent([this] { Program.Close(); });
    e->accept();
}

} // namespace fwug
