#pragma once
// The gang programmer's main window, built from the TProgramVLT model. Every
// user action goes to the model's control (and so to its handler) through
// Run, which shows a failure in the error dialog and then shows every window's
// model again.
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>

#include "forms/qt/ViewBinder.h"

class QtDialogs;
class TVltProgram;
struct TProgramVLT;
class QTabWidget;
class QProgressBar;
class QTableView;
class QToolButton;
class PaintPacer;
class RefreshPacer;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(TVltProgram &program, QtDialogs &dialogs);
    ~MainWindow() override;

    // Runs one user action: errors go to the error dialog, then the models are shown.
    void Run(const ViewBinder::Action &action);
    // The same for the timer's ticks and the ports' events, which open no
    // window beside this one: the window's place is not taken first, and the
    // models are shown at the refresh's pace (at once after an error).
    void Handle(const ViewBinder::Action &action);
    ViewBinder &Binder() { return *Views; }
    // Runs after every refresh: the other windows show their models too.
    std::function<void()> AfterRefresh;
    // Shows every model now.
    void RefreshAll();

    // For tests and the screenshot tool: the widget of a control by its name.
    QWidget *Widget(const std::string &name) const;
    QAction *Action(const std::string &name) const;
    QTimer &Timer() { return Timer1; }
    // A refresh or a paint is held back by its pace.
    bool HoldsBack() const;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void moveEvent(QMoveEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    bool eventFilter(QObject *o, QEvent *e) override;

private:
    template <class W> W *Make(const std::string &name, QWidget *parent, const struct TControl &m);
    void BuildToolbar(QWidget *central);
    void BuildChipPage(QWidget *page);
    void BuildMenus();
    // Runs an action, errors to the error dialog; false after an error.
    bool Perform(const ViewBinder::Action &action);
    void SyncTimer();
    void ShowModels();

    TVltProgram &Program;
    TProgramVLT &Form;
    QtDialogs &Dialogs;
    std::unique_ptr<ViewBinder> Views;
    QTimer Timer1;
    RefreshPacer *Pacer = nullptr;
    PaintPacer *Painter = nullptr;
    bool Shown = false;
    std::map<std::string, QWidget *> Widgets;
    std::map<std::string, QAction *> Actions;
};
