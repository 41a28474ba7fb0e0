#pragma once
// The upgrade tool's main window: widgets built from the TFirmWareUG model,
// each user action forwarded to its handler, the model shown again after
// every handled event. Exceptions of the handlers are caught here, at the
// event entry points, and shown in an error box.
#include <QMainWindow>
#include <functional>
#include <map>

class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QAbstractButton;
class QAction;
class QFrame;
struct TMenuItem;
struct TButton;

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
    QPlainTextEdit *Memo() const { return InfoMemo; }
    QProgressBar *Gauge() const { return ProgressBar1; }
    QLabel *DeviceLabel() const { return DevLabel; }
    QMenu *InfoPopup() const { return PopupMenu1; }

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void BuildWidgets();
    void BuildMenus();
    void WirePort();
    QAbstractButton *MakeButton(TButton &b, QWidget *parent, bool speed);
    QMenu *MakeMenu(TMenuItem &top, QWidget *parent);

    TFwUpgradeProgram &Program;
    bool Shown = false;
    unsigned MemoClearCount = 0;
    size_t MemoLinesShown = 0;

    QFrame *Panel1 = nullptr;
    QLabel *DevLabel = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label9 = nullptr;
    QComboBox *ComboBoxCOM = nullptr;
    QPlainTextEdit *InfoMemo = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    std::map<const TButton *, QAbstractButton *> Buttons;
    std::map<const TMenuItem *, QAction *> Actions;
};

} // namespace fwug
