#include "app/qt/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include "app/VltProgram.h"
#include "app/qt/Pictures.h"
#include "forms/ProgramVLTForm.h"
#include "forms/qt/GaugeView.h"
#include "forms/qt/MemoView.h"
#include "forms/qt/PaintPacer.h"
#include "forms/qt/QtDialogs.h"
#include "forms/qt/RefreshPacer.h"

namespace {

// A timer at most this slow carries the paced refresh on its ticks.
constexpr int kBeatMs = 20;

void Place(QWidget *w, const TControl &m) {
    w->setGeometry(m.Left, m.Top, m.Width, m.Height);
}

// A radio group too low for its items' natural height: they share the room
// below the title in equal rows instead of drawing over each other.
void ShareTheHeight(QGroupBox *group) {
    QLayout *items = group->layout();
    items->setContentsMargins(8, 0, 8, 0);
    items->setSpacing(1);
    for (auto *b : group->findChildren<QRadioButton *>())
        b->setMinimumHeight(1);
}

} // namespace

template <class W> W *MainWindow::Make(const std::string &name, QWidget *parent, const TControl &m) {
    auto *w = new W(parent);
    w->setObjectName(QString::fromStdString(name));
    Place(w, m);
    Widgets[name] = w;
    return w;
}

MainWindow::MainWindow(TVltProgram &program, QtDialogs &dialogs)
    : Program(program), Form(program.Form()), Dialogs(dialogs),
      Views(std::make_unique<ViewBinder>([this](const ViewBinder::Action &a) { Run(a); })) {
    setObjectName("ProgramVLT");
    setWindowTitle(QString::fromStdString(Form.Caption));
    // System menu and minimise box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto *central = new QWidget(this);
    central->setFixedSize(Form.Panel1.Width, Form.ViewPageCtrl.Top + Form.ViewPageCtrl.Height);
    setCentralWidget(central);
    BuildToolbar(central);

    auto *edit = Make<QLineEdit>("ProductEditX", central, Form.ProductEditX);
    Views->Bind(Form.ProductEditX, edit);

    auto *pages = Make<QTabWidget>("ViewPageCtrl", central, Form.ViewPageCtrl);
    auto *chipPage = new QWidget;
    auto *flashPage = new QWidget;
    auto *readPage = new QWidget;
    chipPage->setObjectName("TabSheetChip");
    flashPage->setObjectName("TabSheetFlash");
    readPage->setObjectName("TabSheetRd");
    pages->addTab(chipPage, QString());
    pages->addTab(flashPage, QString());
    pages->addTab(readPage, QString());
    BuildChipPage(chipPage);
    Views->Bind(Form.HexViewer, Make<QTableView>("HexViewer", flashPage, Form.HexViewer));
    Views->Bind(Form.ReadView, Make<QTableView>("ReadView", readPage, Form.ReadView));
    Views->Bind(Form.ViewPageCtrl, pages);

    BuildMenus();
    setFixedSize(sizeHint().expandedTo(central->size() + QSize(0, menuBar()->sizeHint().height())));

    // Replies on four channels move the gauges hundreds of times a second:
    // the models are shown and the window painted at most ten times a
    // second, enough for gauges and lines of text.
    Painter = new PaintPacer(this, 100);
    Pacer = new RefreshPacer(
        100, [this] { ShowModels(); }, this);
    qApp->installEventFilter(this);
    Timer1.setInterval(Form.Timer1.Interval);
    connect(&Timer1, &QTimer::timeout, this, [this] { Handle([this] { Program.Tick(); }); });
    Program.OnCloseRequest = [this] { close(); };
    RefreshAll(); // also starts Timer1, which runs from creation
}

MainWindow::~MainWindow() {
    Program.OnCloseRequest = nullptr;
    Timer1.stop();
}

void MainWindow::BuildToolbar(QWidget *central) {
    auto *bar = Make<QFrame>("Panel1", central, Form.Panel1);
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setFocusPolicy(Qt::StrongFocus); // a key press on the form moves the focus here
    Views->BindControl(Form.Panel1, bar);
    struct Tool {
        const char *name;
        TButton &m;
        QStyle::StandardPixmap icon;
    };
    const Tool tools[] = {
        {"SpdBtnExit", Form.SpdBtnExit, QStyle::SP_DialogCloseButton},
        {"SpdBtnOpen", Form.SpdBtnOpen, QStyle::SP_DialogOpenButton},
        {"SpdBtnSave", Form.SpdBtnSave, QStyle::SP_DialogSaveButton},
        {"SpdBtnDownLoad", Form.SpdBtnDownLoad, QStyle::SP_ArrowDown},
        {"SpdButtnRdInfo", Form.SpdButtnRdInfo, QStyle::SP_MessageBoxInformation},
        {"SpdBtnProg", Form.SpdBtnProg, QStyle::SP_MediaPlay},
        {"SpeedButtonRD", Form.SpeedButtonRD, QStyle::SP_ArrowUp},
        {"SpdBtnVerify", Form.SpdBtnVerify, QStyle::SP_DialogApplyButton},
    };
    for (const auto &t : tools) {
        auto *b = Make<QToolButton>(t.name, bar, t.m);
        b->setAutoRaise(t.m.Flat);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setIcon(style()->standardIcon(t.icon));
        b->setIconSize(QSize(18, 18));
        Views->Bind(t.m, b);
    }
    auto *image = Make<QLabel>("Image1", bar, Form.Image1);
    image->setScaledContents(Form.Image1.Stretch);
    image->setPixmap(Picture(Form.Image1.Picture));
    Views->BindControl(Form.Image1, image);
}

void MainWindow::BuildChipPage(QWidget *page) {
    TProgramVLT &f = Form;
    auto *set = Make<QGroupBox>("GroupBoxSet", page, f.GroupBoxSet);
    Views->BindControl(f.GroupBoxSet, set);

    const std::pair<const char *, TLabel *> labels[] = {{"LabelChipType", &f.LabelChipType},
                                                        {"LabelPowTM", &f.LabelPowTM},
                                                        {"LabelDevAddr", &f.LabelDevAddr},
                                                        {"LabelIn", &f.LabelIn},
                                                        {"LabelOut", &f.LabelOut}};
    for (const auto &[name, m] : labels)
        Views->Bind(*m, Make<QLabel>(name, set, *m));

    Views->Bind(f.MCUNameEdit, Make<QLineEdit>("MCUNameEdit", set, f.MCUNameEdit));
    auto *dev = Make<QToolButton>("DevButton", set, f.DevButton);
    dev->setArrowType(Qt::DownArrow);
    Views->Bind(f.DevButton, dev);

    Views->Bind(f.RadioGpVolt, Make<QGroupBox>("RadioGpVolt", set, f.RadioGpVolt));
    Views->Bind(f.RadioGroupSpd, Make<QGroupBox>("RadioGroupSpd", set, f.RadioGroupSpd));
    auto *pif = Make<QGroupBox>("RadioGrpPIF", set, f.RadioGrpPIF);
    Views->Bind(f.RadioGrpPIF, pif);
    ShareTheHeight(pif);

    const std::pair<const char *, TCheckBox *> boxes[] = {
        {"ChkBoxIgChip", &f.ChkBoxIgChip}, {"ChkBoxEnGenc", &f.ChkBoxEnGenc},
        {"ChkBoxVfyE1", &f.ChkBoxVfyE1},   {"CheckBoxPow", &f.CheckBoxPow},
        {"ChkBoxNumb", &f.ChkBoxNumb},     {"CheckBoxAut", &f.CheckBoxAut}};
    for (const auto &[name, m] : boxes)
        Views->Bind(*m, Make<QCheckBox>(name, set, *m));

    const std::pair<const char *, TSpinEdit *> spins[] = {{"SpinEditNumb", &f.SpinEditNumb},
                                                          {"SpinEditPowTM", &f.SpinEditPowTM},
                                                          {"SpinEditIn", &f.SpinEditIn},
                                                          {"SpinEditOut", &f.SpinEditOut}};
    for (const auto &[name, m] : spins)
        Views->Bind(*m, Make<QSpinBox>(name, set, *m));
    Views->Bind(f.EditDevAddr, Make<QLineEdit>("EditDevAddr", set, f.EditDevAddr));
    Views->Bind(f.EditFilName, Make<QLineEdit>("EditFilName", set, f.EditFilName));

    auto *port = Make<QGroupBox>("GroupBoxPort", page, f.GroupBoxPort);
    Views->BindControl(f.GroupBoxPort, port);
    Views->Bind(f.LabelDevice, Make<QLabel>("LabelDevice", port, f.LabelDevice));
    Views->Bind(f.ComboBoxCOM, Make<QComboBox>("ComboBoxCOM", port, f.ComboBoxCOM));
    Views->Bind(f.BitBtnFresh, Make<QPushButton>("BitBtnFresh", port, f.BitBtnFresh));
    Views->Bind(f.BitBtnFindCOM, Make<QPushButton>("BitBtnFindCOM", port, f.BitBtnFindCOM));

    auto *panel = Make<QLabel>("InfoPanel", page, f.InfoPanel);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    Views->Bind(f.InfoPanel, panel);
    Views->Bind(f.InfoMemo, Make<MemoView>("InfoMemo", page, f.InfoMemo));
    for (int n = 1; n <= 4; ++n) {
        const std::string digit = std::to_string(n);
        auto *b = Make<QToolButton>("DevSpdBtn" + digit, page, f.DevSpdBtn(n));
        b->setAutoRaise(f.DevSpdBtn(n).Flat);
        Views->Bind(f.DevSpdBtn(n), b);
        Views->Bind(f.GaugeBar(n), Make<GaugeView>("GaugeBar" + digit, page, f.GaugeBar(n)));
    }
}

void MainWindow::BuildMenus() {
    const std::map<const TMenuItem *, const char *> names = {
        {&Form.Execute1, "Execute1"},
        {&Form.SaveFile1, "SaveFile1"},
        {&Form.SaveReadOutDatatoFile1, "SaveReadOutDatatoFile1"},
        {&Form.CfgLog, "CfgLog"},
        {&Form.SaveInfotoFile2, "SaveInfotoFile2"},
        {&Form.Exit1, "Exit1"},
        {&Form.Download1, "Download1"},
        {&Form.Programming1, "Programming1"},
        {&Form.VeriufyDownload1, "VeriufyDownload1"},
        {&Form.ReadChip1, "ReadChip1"},
        {&Form.ReadChipInformation1, "ReadChipInformation1"},
        {&Form.About1, "About1"},
    };
    for (TMenuItem *top : Form.MainMenu1.Items) {
        QMenu *menu = menuBar()->addMenu(QString::fromStdString(top->Caption));
        for (TMenuItem *item : top->Items) {
            if (item->IsSeparator()) {
                menu->addSeparator();
                continue;
            }
            QAction *a = menu->addAction(QString());
            // Short-cuts work wherever the focus is in the window, menus closed.
            a->setShortcutContext(Qt::WindowShortcut);
            addAction(a);
            Views->Bind(*item, a);
            if (auto it = names.find(item); it != names.end()) {
                a->setObjectName(it->second);
                Actions[it->second] = a;
            }
        }
    }
}

QWidget *MainWindow::Widget(const std::string &name) const {
    auto it = Widgets.find(name);
    return it == Widgets.end() ? nullptr : it->second;
}

QAction *MainWindow::Action(const std::string &name) const {
    auto it = Actions.find(name);
    return it == Actions.end() ? nullptr : it->second;
}

void MainWindow::Run(const ViewBinder::Action &action) {
    // The window's place, for handlers that open windows beside it.
    Form.Left = x();
    Form.Top = y();
    Perform(action);
    Pacer->Now();
}

void MainWindow::Handle(const ViewBinder::Action &action) {
    if (!Perform(action)) {
        Pacer->Now();
    } else if (Views->Pending()) {
        // While Timer1 ticks, its ticks carry the paced refresh: no wake of its own.
        Pacer->Request(Timer1.isActive() && Timer1.interval() <= kBeatMs);
    } else if (AfterRefresh) {
        AfterRefresh(); // an idle tick: no control to show, no timer to wake later
    }
}

bool MainWindow::Perform(const ViewBinder::Action &action) {
    bool ok = true;
    try {
        action();
    } catch (const std::exception &e) {
        ok = false;
        Dialogs.Error(e.what());
    }
    // Time-outs count ticks: the timer follows its model at once, not with the paced refresh.
    SyncTimer();
    return ok;
}

void MainWindow::SyncTimer() {
    if (Form.Timer1.Enabled != Timer1.isActive()) {
        if (Form.Timer1.Enabled)
            Timer1.start(Form.Timer1.Interval);
        else
            Timer1.stop();
    }
}

void MainWindow::RefreshAll() {
    Pacer->Now();
}

bool MainWindow::HoldsBack() const {
    return Pacer->Waiting() || Painter->Waiting();
}

void MainWindow::ShowModels() {
    Deferral::Hold paintAfter(Painter->PaintRequests()); // one paint for everything the refresh changed
    Views->Refresh();
    SyncTimer();
    if (AfterRefresh)
        AfterRefresh();
}

bool MainWindow::eventFilter(QObject *o, QEvent *e) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        // The user acts on what the models say now, not on the last paced refresh.
        Pacer->Flush();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(o, e);
}

void MainWindow::showEvent(QShowEvent *e) {
    QMainWindow::showEvent(e);
    if (Shown)
        return;
    Shown = true;
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    // First show runs from the event loop, so its message boxes are ordinary modal ones.
    QTimer::singleShot(0, this, [this] { Run([this] { Program.Show(); }); });
}

void MainWindow::keyPressEvent(QKeyEvent *e) {
    const QByteArray text = e->text().toLatin1();
    if (text.size() != 1) {
        QMainWindow::keyPressEvent(e);
        return;
    }
    char key = text[0];
    Run([this, &key] { Program.KeyPress(key); });
}

void MainWindow::moveEvent(QMoveEvent *e) {
    QMainWindow::moveEvent(e);
    Form.Left = x();
    Form.Top = y();
}

void MainWindow::closeEvent(QCloseEvent *e) {
    bool closed = false;
    try {
        closed = Program.Closing();
    } catch (const std::exception &err) {
        Dialogs.Error(err.what());
    }
    if (!closed) {
        // The log could not be written: the window stays open, its channels as they were.
        e->ignore();
        RefreshAll();
        return;
    }
    Timer1.stop();
    e->accept();
}
