#include "fwupgrade/qt/FwUpgradeWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QToolButton>
#include <exception>

#include "forms/Dialogs.h"
#include "fwupgrade/FwUpgradeProgram.h"
#include "fwupgrade/UgHandlers.h"
#include "serial/Comm.h"

namespace fwug {

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

void Place(QWidget *w, const TControl &c) {
    w->setGeometry(c.Left, c.Top, c.Width, c.Height);
}

const char *GaugeStyle(TColor c) {
    return c == TColor::Red ? "QProgressBar::chunk { background-color: #d00000; }"
                            : "QProgressBar::chunk { background-color: #0030c0; }";
}

} // namespace

TFwUpgradeWindow::TFwUpgradeWindow(TFwUpgradeProgram &program, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Program(program) {
    setObjectName("FirmWareUG");
    BuildWidgets();
    BuildMenus();
    WirePort();
    Program.Context().CloseWindow = [this] { close(); };
    ShowModel();
}

QAbstractButton *TFwUpgradeWindow::MakeButton(TButton &b, QWidget *parent, bool speed) {
    QAbstractButton *w = nullptr;
    if (speed) {
        auto *t = new QToolButton(parent);
        t->setAutoRaise(b.Flat);
        w = t;
    } else {
        w = new QPushButton(parent);
    }
    w->setText(Q(b.Caption));
    w->setToolTip(Q(b.Hint));
    Place(w, b);
    connect(w, &QAbstractButton::clicked, this, [this, &b] { RunEvent([&b] { b.Click(); }); });
    Buttons[&b] = w;
    return w;
}

void TFwUpgradeWindow::BuildWidgets() {
    TFirmWareUG &f = Program.Form();
    auto *central = new QWidget(this);
    setCentralWidget(central);

    Panel1 = new QFrame(central);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Place(Panel1, f.Panel1);
    MakeButton(f.SpdBtnDownLoad, Panel1, true);
    MakeButton(f.SpdBtnVerify, Panel1, true);
    MakeButton(f.SpdBtnExit, Panel1, true);
    DevLabel = new QLabel(Panel1);
    DevLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    DevLabel->setAlignment(Qt::AlignCenter);
    Place(DevLabel, f.DevLabel);

    GroupBox1 = new QGroupBox(Q(f.GroupBox1.Caption), central);
    Place(GroupBox1, f.GroupBox1);
    Label9 = new QLabel(Q(f.Label9.Caption), GroupBox1);
    Place(Label9, f.Label9);
    ComboBoxCOM = new QComboBox(GroupBox1);
    Place(ComboBoxCOM, f.ComboBoxCOM);
    connect(ComboBoxCOM, &QComboBox::activated, this, [this](int index) {
        RunEvent([this, index] {
            TComboBox &c = Program.Form().ComboBoxCOM;
            c.ItemIndex = index;
            if (c.OnChange)
                c.OnChange();
        });
    });
    MakeButton(f.BitBtnFind, GroupBox1, false);
    MakeButton(f.BitBtnFresh, GroupBox1, false);

    InfoMemo = new QPlainTextEdit(central);
    InfoMemo->setReadOnly(f.InfoMemo.ReadOnly);
    InfoMemo->setVerticalScrollBarPolicy(f.InfoMemo.VerticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAsNeeded);
    InfoMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    Place(InfoMemo, f.InfoMemo);

    ProgressBar1 = new QProgressBar(central);
    ProgressBar1->setTextVisible(false);
    Place(ProgressBar1, f.ProgressBar1);

    // PopupMenu1 replaces the memo's own context menu.
    PopupMenu1 = new QMenu(this);
    for (TMenuItem *item : f.PopupMenu1.Items) {
        QAction *a = PopupMenu1->addAction(Q(item->Caption));
        connect(a, &QAction::triggered, this, [this, item] { RunEvent([item] { item->Click(); }); });
        Actions[item] = a;
    }
    InfoMemo->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(InfoMemo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(InfoMemo->mapToGlobal(pos)); });

    setFixedSize(f.Width, f.Height + menuBar()->sizeHint().height());
    if (f.ShowHint)
        setToolTipDuration(-1);
}

QMenu *TFwUpgradeWindow::MakeMenu(TMenuItem &top, QWidget *parent) {
    auto *menu = new QMenu(Q(top.Caption), parent);
    for (TMenuItem *item : top.Items) {
        if (item->IsSeparator()) {
            menu->addSeparator();
            continue;
        }
        QAction *a = menu->addAction(Q(item->Caption));
        if (!item->ShortCut.empty())
            a->setShortcut(QKeySequence(Q(item->ShortCut)));
        connect(a, &QAction::triggered, this, [this, item] { RunEvent([item] { item->Click(); }); });
        Actions[item] = a;
    }
    return menu;
}

void TFwUpgradeWindow::BuildMenus() {
    for (TMenuItem *top : Program.Form().MainMenu1.Items)
        Actions[top] = menuBar()->addMenu(MakeMenu(*top, menuBar()));
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
    const TFirmWareUG &f = Program.Form();
    setWindowTitle(Q(f.Caption));
    for (auto &[model, w] : Buttons) {
        w->setText(Q(model->Caption));
        w->setEnabled(model->Enabled);
        w->setVisible(model->Visible);
    }
    for (auto &[model, a] : Actions) {
        a->setEnabled(model->Enabled);
        a->setVisible(model->Visible);
    }
    DevLabel->setText(Q(f.DevLabel.Caption));

    // The combo's list and text.
    const TComboBox &c = f.ComboBoxCOM;
    QStringList items;
    for (const auto &s : c.Items)
        items << Q(s);
    QStringList shown;
    for (int i = 0; i < ComboBoxCOM->count(); ++i)
        shown << ComboBoxCOM->itemText(i);
    if (shown != items) {
        ComboBoxCOM->clear();
        ComboBoxCOM->addItems(items);
    }
    const int textIndex =
        static_cast<int>(std::find(c.Items.begin(), c.Items.end(), c.Text) - c.Items.begin());
    ComboBoxCOM->setPlaceholderText(Q(c.Text));
    ComboBoxCOM->setCurrentIndex(textIndex < static_cast<int>(c.Items.size()) ? textIndex : -1);

    // New memo lines are appended; a cleared memo starts over.
    const TMemo &m = f.InfoMemo;
    if (m.ClearCount != MemoClearCount || m.Lines.size() < MemoLinesShown) {
        InfoMemo->clear();
        MemoClearCount = m.ClearCount;
        MemoLinesShown = 0;
    }
    for (; MemoLinesShown < m.Lines.size(); ++MemoLinesShown)
        InfoMemo->appendPlainText(Q(m.Lines[MemoLinesShown]));

    const TGauge &g = f.ProgressBar1;
    ProgressBar1->setRange(g.MinValue, g.MaxValue());
    ProgressBar1->setValue(g.Progress());
    ProgressBar1->setStyleSheet(GaugeStyle(g.ForeColor));
}

QAbstractButton *TFwUpgradeWindow::Widget(const TButton &b) const {
    auto it = Buttons.find(&b);
    return it == Buttons.end() ? nullptr : it->second;
}

QAction *TFwUpgradeWindow::Action(const TMenuItem &m) const {
    auto it = Actions.find(&m);
    return it == Actions.end() ? nullptr : it->second;
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
