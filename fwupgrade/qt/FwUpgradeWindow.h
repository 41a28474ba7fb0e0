#pragma once
// The upgrade tool's main window: widgets built from the TFirmWareUG model and
// tied to it by the view binder, each user action forwarded to its handler,
// the model shown again after every handled event. Exceptions of the handlers
// are caught here, at the event entry points, and shown in an error box.
#include <QMainWindow>
#include <functional>
#include <map>

#include "forms/qt/ViewBinder.h"

class QAbstractButton;
class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QTimer;
class MemoView;
class GaugeView;

namespace fwug {

class TFwUpgradeProgram;

class TFwUpgradeWindow : public QMainWindow {
public:
    explicit TFwUpgradeWindow(TFwUpgradeProgram &program, QWidget *parent = nullptr);

    // Runs one event of the program: catches its exceptions, then shows the model.
    void RunEvent(const std::function<void()> &fn);
    // Shows the model in the widgets.
    void ShowModel();

    // For the tests: the widgets by the model's names.
    QAbstractButton *Widget(const TButton &b) const;
    QAction *Action(const TMenuItem &m) const;
    QComboBox *PortCombo() const { return ComboBoxCOM; }
    MemoView *Memo() const { return InfoMemo; }
    GaugeView *Gauge() const { return ProgressBar1; }
    QLabel *DeviceLabel() const { return DevLabel; }
    QMenu *InfoPopup() const;
    QTimer *Timer() const { return Timer1; }

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void BuildWidgets();
    void BuildMenus();
    void WirePort();
    void MakeButton(TButton &b, QWidget *parent, bool speed);
    void SyncTimer();

    TFwUpgradeProgram &Program;
    ViewBinder Binder;
    bool Shown = false;

    QLabel *DevLabel = nullptr;
    QComboBox *ComboBoxCOM = nullptr;
    MemoView *InfoMemo = nullptr;
    GaugeView *ProgressBar1 = nullptr;
    QTimer *Timer1 = nullptr;
    std::map<const TButton *, QAbstractButton *> Buttons;
    std::map<const TMenuItem *, QAction *> Actions;
};

} // namespace fwug
