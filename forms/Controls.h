#pragma once
// Presentation models of the toolkit's controls: plain state that handlers read
// and write and that the Qt layer shows. Events are plain callbacks wired by the
// window's owner. Every change of a control bumps its change count and tells
// the views that show it, so a view shows again only the controls that changed.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

using TNotifyEvent = std::function<void()>;

// Colours the programs use; the view maps them to real ones.
enum class TColor : uint8_t { Default, Blue, Red, Navy, Black, White };

// What a view learns of the models it shows: which of them changed since it
// last looked, each listed once. The view takes the list and starts a new
// round.
struct TChangeLog {
    uint64_t Round = 0;
    std::vector<const void *> Changed;
};

// How often a model object changed. Every change of one of its members bumps
// it and lists the object with the views that show it: a view whose list is
// empty has nothing to show again.
class TChangeCount {
public:
    TChangeCount() = default;
    TChangeCount(const TChangeCount &) = delete;
    TChangeCount &operator=(const TChangeCount &) = delete;
    uint64_t Value() const { return FValue; }
    void Bump() {
        ++FValue;
        for (auto &w : FWatchers)
            if (w.ListedIn != w.Log->Round) {
                w.ListedIn = w.Log->Round;
                w.Log->Changed.push_back(this);
            }
    }
    // A view's log, told of this object's changes from now on. Shared, so
    // either side may go first.
    void Watch(const std::shared_ptr<TChangeLog> &log) {
        for (const auto &w : FWatchers)
            if (w.Log == log)
                return;
        FWatchers.push_back({log, log->Round - 1});
    }

private:
    struct Watcher {
        std::shared_ptr<TChangeLog> Log;
        uint64_t ListedIn; // the log's round this object was listed in
    };
    uint64_t FValue = 0;
    std::vector<Watcher> FWatchers;
};

// A member of a model as it reads: its value, and for texts and lists the
// reads the handlers use. How it is written is up to the kinds below.
template <class T> class TMember {
public:
    explicit TMember(T value = T()) : FValue(std::move(value)) {}
    TMember(const TMember &) = default;
    TMember &operator=(const TMember &) = delete;
    operator const T &() const { return FValue; }
    const T &Get() const { return FValue; }
    auto size() const requires requires(const T &t) { t.size(); }
    { return FValue.size(); }
    bool empty() const requires requires(const T &t) { t.empty(); }
    { return FValue.empty(); }
    auto begin() const requires requires(const T &t) { t.begin(); }
    { return FValue.begin(); }
    auto end() const requires requires(const T &t) { t.end(); }
    { return FValue.end(); }
    decltype(auto) front() const requires requires(const T &t) { t.front(); }
    { return FValue.front(); }
    decltype(auto) back() const requires requires(const T &t) { t.back(); }
    { return FValue.back(); }
    decltype(auto) operator[](size_t i) const requires requires(const T &t) { t[i]; }
    { return FValue[i]; }
    friend bool operator==(const TMember &a, const TMember &b) { return a.FValue == b.FValue; }
    template <class U>
    requires(!std::is_base_of_v<TMember, U>) && requires(const T &t, const U &u) { t == u; }
    friend bool operator==(const TMember &a, const U &b) { return a.FValue == b; }
    friend std::ostream &operator<<(std::ostream &os, const TMember &m) requires requires(const T &t) {
        os << t;
    }
    { return os << m.FValue; }

protected:
    T FValue;
};

// A member handlers write freely: a write that changes the value bumps the
// control's change count. Other changes go through Change(), which bumps at
// once: use the reference right away, not after the next refresh.
template <class T> class TTracked : public TMember<T> {
public:
    explicit TTracked(TChangeCount &owner, T value = T()) : TMember<T>(std::move(value)), Owner(&owner) {}
    TTracked(const TTracked &) = delete;
    TTracked &operator=(const TTracked &other) { return *this = other.FValue; }
    TTracked &operator=(const T &v) {
        if (!(this->FValue == v)) {
            this->FValue = v;
            Owner->Bump();
        }
        return *this;
    }
    TTracked &operator=(T &&v) {
        if (!(this->FValue == v)) {
            this->FValue = std::move(v);
            Owner->Bump();
        }
        return *this;
    }
    T &Change() {
        Owner->Bump();
        return this->FValue;
    }

private:
    TChangeCount *Owner;
};

// A member that only its control's own routines change.
template <class T, class Owner> class TReadOnly : public TMember<T> {
    friend Owner;
    using TMember<T>::TMember;
};

struct TControl {
    TControl() = default;
    TControl(const TControl &) = delete;
    TControl &operator=(const TControl &) = delete;
    TChangeCount Changes;
    TTracked<bool> Visible{Changes, true};
    TTracked<bool> Enabled{Changes, true};
    TTracked<std::string> Hint{Changes};
    // Position in the parent and size, in pixels; the view lays widgets out by them.
    TTracked<int> Left{Changes, 0};
    TTracked<int> Top{Changes, 0};
    TTracked<int> Width{Changes, 0};
    TTracked<int> Height{Changes, 0};
    TTracked<TColor> FontColor{Changes, TColor::Default};
    TTracked<bool> FontBold{Changes, false};
    TTracked<std::string> FontName{Changes}; // empty: the window's font
    // Bumped by SetFocus so the view can move the keyboard focus.
    TReadOnly<unsigned, TControl> FocusRequests{0};
    void SetFocus() {
        ++FocusRequests.FValue;
        Changes.Bump();
    }
    void SetBounds(int left, int top, int width, int height) {
        Left = left;
        Top = top;
        Width = width;
        Height = height;
    }
};

struct TLabel : TControl {
    TTracked<std::string> Caption{Changes};
};

struct TPanel : TControl {
    TTracked<std::string> Caption{Changes};
};

struct TButton : TControl {
    TTracked<std::string> Caption{Changes};
    TTracked<bool> Flat{Changes, false};
    TNotifyEvent OnClick;
    void Click() {
        if (Enabled && Visible && OnClick)
            OnClick();
    }
};

// A menu item; Caption "-" is a separator. Items are the sub-items of a
// top-level menu, owned by the form.
struct TMenuItem {
    TMenuItem() = default;
    TMenuItem(const TMenuItem &) = delete;
    TMenuItem &operator=(const TMenuItem &) = delete;
    TChangeCount Changes;
    TTracked<std::string> Caption{Changes};
    TTracked<std::string> ShortCut{Changes}; // "Ctrl+L", "F7", empty when none
    TTracked<bool> Visible{Changes, true};
    TTracked<bool> Enabled{Changes, true};
    TTracked<int> Tag{Changes, 0};
    std::vector<TMenuItem *> Items;
    TNotifyEvent OnClick;
    bool IsSeparator() const { return Caption == "-"; }
    void Click() {
        if (Enabled && OnClick)
            OnClick();
    }
};

struct TMainMenu {
    std::vector<TMenuItem *> Items;
};

// A popup menu; Popup asks the view to open it at a screen position.
struct TPopupMenu {
    TPopupMenu() = default;
    TPopupMenu(const TPopupMenu &) = delete;
    TPopupMenu &operator=(const TPopupMenu &) = delete;
    TChangeCount Changes;
    std::vector<TMenuItem *> Items;
    TTracked<bool> AutoHotkeys{Changes, true}; // false: captions are shown as written, no accelerators added
    TReadOnly<int, TPopupMenu> PopupX{0};
    TReadOnly<int, TPopupMenu> PopupY{0};
    TReadOnly<unsigned, TPopupMenu> PopupRequests{0};
    void Popup(int x, int y) {
        PopupX.FValue = x;
        PopupY.FValue = y;
        ++PopupRequests.FValue;
        Changes.Bump();
    }
};

// The view's picture: a resource name the view resolves to an image.
struct TImage : TControl {
    TTracked<bool> Stretch{Changes, false};
    TTracked<std::string> Picture{Changes};
};

struct TEdit : TControl {
    TTracked<bool> ReadOnly{Changes, false};
    TTracked<int> MaxLength{Changes, 0}; // 0: no limit; limits what the user types, not SetText
    TNotifyEvent OnChange;
    const std::string &Text() const { return FText; }
    // Like the toolkit: the change event fires only when the text changes.
    void SetText(const std::string &t) {
        if (t == FText)
            return;
        FText = t;
        Changes.Bump();
        if (OnChange)
            OnChange();
    }

private:
    std::string FText;
};

struct TCheckBox : TControl {
    TTracked<std::string> Caption{Changes};
    TNotifyEvent OnClick;
    bool Checked() const { return FChecked; }
    // The toolkit fires the click event whenever the state changes.
    void SetChecked(bool c) {
        if (c == FChecked)
            return;
        FChecked = c;
        Changes.Bump();
        if (OnClick)
            OnClick();
    }

private:
    bool FChecked = false;
};

// ItemIndex is set freely by handlers; the view fires OnClick after the user
// picks an item.
struct TRadioGroup : TControl {
    TTracked<std::string> Caption{Changes};
    TTracked<std::vector<std::string>> Items{Changes};
    TTracked<int> ItemIndex{Changes, -1};
    TTracked<int> Columns{Changes, 1};
    TNotifyEvent OnClick;
};

struct TSpinEdit : TControl {
    TTracked<int> MinValue{Changes, 0};
    TTracked<int> MaxValue{Changes, 0};
    TTracked<int> Increment{Changes, 1};
    int Value() const { return FValue; }
    // Clamped into the range when the range is not empty (MinValue != MaxValue).
    void SetValue(int v) {
        if (MinValue != MaxValue)
            v = std::clamp(v, std::min<int>(MinValue, MaxValue), std::max<int>(MinValue, MaxValue));
        if (v == FValue)
            return;
        FValue = v;
        Changes.Bump();
    }

private:
    int FValue = 0;
};

// Progress gauge: the position stays within MinValue..MaxValue; lowering the
// maximum below the position pulls the position down with it.
struct TGauge : TControl {
    TTracked<TColor> ForeColor{Changes, TColor::Blue};
    TTracked<int> MinValue{Changes, 0};
    int Progress() const { return FProgress; }
    int MaxValue() const { return FMaxValue; }
    void SetProgress(int p) {
        Set(std::clamp(p, MinValue.Get(), std::max(MinValue.Get(), FMaxValue)), FMaxValue);
    }
    void SetMaxValue(int m) {
        const int max = std::max(m, MinValue.Get());
        Set(std::min(FProgress, max), max);
    }
    // Counts repaint requests so a view can refresh at once when asked.
    TReadOnly<int, TGauge> RepaintCount{0};
    void Repaint() {
        ++RepaintCount.FValue;
        Changes.Bump();
    }

private:
    void Set(int progress, int max) {
        if (progress == FProgress && max == FMaxValue)
            return;
        FProgress = progress;
        FMaxValue = max;
        Changes.Bump();
    }
    int FProgress = 0;
    int FMaxValue = 100;
};

// Multi-line memo. Views append new lines incrementally: ClearCount changes
// whenever the text is replaced, so a view knows when to start over.
struct TMemo : TControl {
    TTracked<bool> ReadOnly{Changes, false};
    TTracked<bool> VerticalScrollBar{Changes, false};
    TPopupMenu *PopupMenu = nullptr;
    TReadOnly<std::vector<std::string>, TMemo> Lines;
    TReadOnly<unsigned, TMemo> ClearCount{0};
    // The selection, in bytes of Text(); SelectRequests changes whenever a
    // handler selects, so the view shows it.
    size_t SelStart = 0;
    size_t SelLength = 0;
    unsigned SelectRequests = 0;
    void Add(const std::string &line) {
        Lines.FValue.push_back(line);
        Changes.Bump();
    }
    void Clear() {
        Lines.FValue.clear();
        SelStart = SelLength = 0;
        ++ClearCount.FValue;
        Changes.Bump();
    }
    void SelectAll() {
        SelStart = 0;
        SelLength = Text().size();
        ++SelectRequests;
        Changes.Bump();
    }
    // The selected part of the text as it is now.
    std::string SelText() const {
        const std::string t = Text();
        return SelStart < t.size() ? t.substr(SelStart, SelLength) : std::string();
    }
    // The whole text with CR LF line ends, as the toolkit returns it.
    std::string Text() const {
        std::string t;
        for (const auto &l : Lines) {
            t += l;
            t += "\r\n";
        }
        return t;
    }
};

struct TComboBox : TControl {
    TTracked<bool> Sorted{Changes, false};
    TTracked<std::vector<std::string>> Items{Changes};
    TTracked<int> ItemIndex{Changes, -1};
    TTracked<std::string> Text{Changes};
    TNotifyEvent OnChange;
    // Sorted combos insert in case-insensitive order, as the toolkit does.
    int AddItem(const std::string &s) {
        auto &items = Items.Change();
        if (!Sorted) {
            items.push_back(s);
            return static_cast<int>(items.size()) - 1;
        }
        auto less = [](const std::string &a, const std::string &b) {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) <
                       std::tolower(static_cast<unsigned char>(y));
            });
        };
        auto it = std::upper_bound(items.begin(), items.end(), s, less);
        return static_cast<int>(items.insert(it, s) - items.begin());
    }
    void ClearItems() {
        Items = {};
        ItemIndex = -1;
    }
    // Removes one item; the selection follows its item or is dropped with it.
    void DeleteItem(int index) {
        if (index < 0 || index >= static_cast<int>(Items.size()))
            return;
        auto &items = Items.Change();
        items.erase(items.begin() + index);
        if (ItemIndex == index)
            ItemIndex = -1;
        else if (ItemIndex > index)
            ItemIndex = ItemIndex - 1;
    }
};

// String grid: Cells are addressed (column, row) as in the toolkit. Reading a
// cell outside the grid gives an empty text; writing one outside is ignored.
struct TStringGrid : TControl {
    TStringGrid() { FontColor = TColor::Black; }
    TTracked<int> ColCount{Changes, 5};
    TTracked<int> FixedRows{Changes, 1};
    TTracked<int> FixedCols{Changes, 1};
    TTracked<int> DefaultColWidth{Changes, 64};
    TTracked<int> DefaultRowHeight{Changes, 24};
    TTracked<std::vector<int>> ColWidths{Changes}; // per column; 0 means the default width
    TTracked<bool> VerticalScrollBar{Changes, false};
    // Bumped whenever rows or cells change, so a view can reset its model.
    TReadOnly<unsigned, TStringGrid> ChangeCount{0};

    int RowCount() const { return FRowCount; }
    void SetRowCount(int rows) {
        FRowCount = std::max(rows, 0);
        FCells.resize(static_cast<size_t>(FRowCount));
        for (auto &r : FCells)
            r.resize(static_cast<size_t>(ColCount));
        CellsChanged();
    }
    void SetColWidth(int col, int w) {
        if (col < 0 || col >= ColCount)
            return;
        std::vector<int> widths = ColWidths;
        widths.resize(static_cast<size_t>(ColCount), 0);
        widths[static_cast<size_t>(col)] = w;
        ColWidths = std::move(widths);
    }
    int ColWidth(int col) const {
        if (col >= 0 && static_cast<size_t>(col) < ColWidths.size() &&
            ColWidths[static_cast<size_t>(col)] > 0)
            return ColWidths[static_cast<size_t>(col)];
        return DefaultColWidth;
    }
    const std::string &Cell(int col, int row) const {
        static const std::string empty;
        if (row < 0 || row >= FRowCount || col < 0 || col >= ColCount)
            return empty;
        const auto &r = FCells[static_cast<size_t>(row)];
        return static_cast<size_t>(col) < r.size() ? r[static_cast<size_t>(col)] : empty;
    }
    void SetCell(int col, int row, const std::string &text) {
        if (row < 0 || row >= FRowCount || col < 0 || col >= ColCount)
            return;
        auto &r = FCells[static_cast<size_t>(row)];
        if (r.size() < static_cast<size_t>(ColCount))
            r.resize(static_cast<size_t>(ColCount));
        r[static_cast<size_t>(col)] = text;
        CellsChanged();
    }

private:
    void CellsChanged() {
        ++ChangeCount.FValue;
        Changes.Bump();
    }
    int FRowCount = 5;
    std::vector<std::vector<std::string>> FCells =
        std::vector<std::vector<std::string>>(5, std::vector<std::string>(5));
};

struct TTabSheet : TControl {
    TTracked<std::string> Caption{Changes};
    TTracked<bool> TabVisible{Changes, true};
};

struct TPageControl : TControl {
    std::vector<TTabSheet *> Pages;
    TTracked<int> ActivePageIndex{Changes, 0};
};

// Open and save dialogs: what the window declares for them. Filter is
// "Description|pattern;pattern|..." pairs; FileName is the last choice.
struct TFileDialog {
    // An open dialog that names a file to be written takes a new name too.
    bool FileMustExist = true;
    std::string Filter;
    std::string DefaultExt;
    std::string FileName;
    std::string InitialDir;
    std::string Title;
};

enum class TFormPosition : uint8_t { Designed, ScreenCenter, DesktopCenter, MainFormCenter };

// A window: caption, placement and its modal state. Forms hold pointers to
// their own members (menus), so they are neither copied nor moved.
struct TForm {
    TForm() = default;
    TForm(const TForm &) = delete;
    TForm &operator=(const TForm &) = delete;
    std::string Caption;
    int Left = 0;
    int Top = 0;
    int Width = 0; // outer size when ClientSized is false
    int Height = 0;
    bool ClientSized = false; // Width and Height give the client area
    TFormPosition Position = TFormPosition::Designed;
    bool ShowHint = false;
    bool MinimizeBox = true;
    bool MaximizeBox = true;
    bool Resizable = true;
    // True while shown modally; Close ends the modal display.
    bool Showing = false;
    void Close() { Showing = false; }
};

struct TTimer {
    int Interval = 1000;
    bool Enabled = true;
    TNotifyEvent OnTimer;
};
