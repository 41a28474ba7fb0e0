#pragma once
// Ties Qt widgets to the control models of a window. A user action updates
// the model as the control would and fires the model's event (or the handler
// given), inside the program's runner; Refresh shows the models again. Refresh
// writes into the widgets with their signals blocked, so showing a model never
// counts as a user action. It touches only the widgets of controls that changed
// (or that the user just worked), so a refresh after an event that changed
// nothing costs one look at an empty list.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "forms/Controls.h"

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class GaugeView;
class MemoView;
class QSpinBox;
class QTabWidget;
class QTableView;
class QWidget;

// Colours of the models in Qt's terms.
QColor QtColor(TColor c);
// Captions of the toolkit use "&" for the mnemonic, as Qt does; "&&" is a plain "&".
QString QtText(const std::string &s);

class ViewBinder {
public:
    using Action = std::function<void()>;
    // Runs one user action: the program catches its errors and refreshes.
    using Runner = std::function<void(const Action &)>;
    explicit ViewBinder(Runner run);
    ~ViewBinder();
    ViewBinder(const ViewBinder &) = delete;
    ViewBinder &operator=(const ViewBinder &) = delete;

    // A click runs handler, or else the model's Click().
    void Bind(TButton &m, QAbstractButton *w, Action handler = {});
    void Bind(TMenuItem &m, QAction *w, Action handler = {});
    // The user's click sets the model, which fires OnClick when it changed.
    void Bind(TCheckBox &m, QCheckBox *w);
    // Builds the radio buttons; a pick sets ItemIndex, then OnClick.
    void Bind(TRadioGroup &m, QGroupBox *w);
    void Bind(TSpinEdit &m, QSpinBox *w);
    // Typing sets the text, which fires OnChange.
    void Bind(TEdit &m, QLineEdit *w);
    // A pick sets ItemIndex and Text, then OnChange.
    void Bind(TComboBox &m, QComboBox *w);
    void Bind(TGauge &m, GaugeView *w);
    // New lines are appended; a Clear starts over.
    void Bind(TMemo &m, MemoView *w);
    void Bind(TStringGrid &m, QTableView *w);
    void Bind(TLabel &m, QLabel *w);
    void Bind(TPanel &m, QLabel *w);
    void Bind(TPageControl &m, QTabWidget *w);
    // Builds a QMenu of the popup's items; Refresh opens it when the model asks.
    QMenu *Bind(TPopupMenu &m, QWidget *parent);
    // Visible, enabled, hint and focus only.
    void BindControl(TControl &m, QWidget *w);

    // Model to widgets, for every control that changed since the last time.
    void Refresh();
    // A change of a model waits to be shown.
    bool Pending() const { return !Changes->Changed.empty(); }
    const Runner &Run() const { return RunAction; }
    // How many controls refreshes have shown again.
    uint64_t Syncs() const { return SyncCount; }

private:
    struct Binding {
        virtual ~Binding() = default;
        virtual void Sync() = 0;
        size_t Index = 0;     // in bind order, the order of showing
        uint64_t ShownIn = 0; // the refresh that showed it last
    };
    // A binding showing the model (anything with a change count) by sync.
    template <class M, class F> Binding *Add(M &model, F sync);
    void Watch(Binding &b, TChangeCount &model);
    // Runs a user's action on the widget of a model; the widget shows its
    // model afterwards whatever the action did.
    template <class M> void RunTouched(M &model, const Action &a);
    void BindItem(TMenuItem &m, QAction *w, Action handler, bool literal);
    std::vector<QMetaObject::Connection> Connections;
    Runner RunAction;
    std::vector<std::unique_ptr<Binding>> Bindings;
    // The models that changed, and the bindings that show each model.
    std::shared_ptr<TChangeLog> Changes = std::make_shared<TChangeLog>();
    std::unordered_map<const void *, std::vector<Binding *>> Showing;
    uint64_t Refreshes = 0;
    uint64_t SyncCount = 0;
};
