#pragma once
// Presentation models of the toolkit's controls: plain state that handlers read
// and write and that the Qt layer shows. Events are plain callbacks wired by the
// window's owner.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using TNotifyEvent = std::function<void()>;

// Colours the programs use; the view maps them to real ones.
enum class TColor : uint8_t { Default, Blue, Red, Navy, Black, White };

struct TControl {
    bool Visible = true;
    bool Enabled = true;
    std::string Hint;
    // Position in the parent and size, in pixels; the view lays widgets out by them.
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    TColor FontColor = TColor::Default;
    bool FontBold = false;
    std::string FontName; // empty: the window's font
    // Bumped by SetFocus so the view can move the keyboard focus.
    unsigned FocusRequests = 0;
    void SetFocus() { ++FocusRequests; }
    void SetBounds(int left, int top, int width, int height) {
        Left = left;
        Top = top;
        Width = width;
        Height = height;
    }
};

struct TLabel : TControl {
    std::string Caption;
};

struct TPanel : TControl {
    std::string Caption;
};

struct TButton : TControl {
    std::string Caption;
    bool Flat = false;
    TNotifyEvent OnClick;
    void Click() {
        if (Enabled && Visible && OnClick)
            OnClick();
    }
};

// A menu item; Caption "-" is a separator. Items are the sub-items of a
// top-level menu, owned by the form.
struct TMenuItem {
    std::string Caption;
    std::string ShortCut; // "Ctrl+L", "F7", empty when none
    bool Visible = true;
    bool Enabled = true;
    int Tag = 0;
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
    std::vector<TMenuItem *> Items;
    bool AutoHotkeys = true; // false: captions are shown as written, no accelerators added
    int PopupX = 0;
    int PopupY = 0;
    unsigned PopupRequests = 0;
    void Popup(int x, int y) {
        PopupX = x;
        PopupY = y;
        ++PopupRequests;
    }
};

// The view's picture: a resource name the view resolves to an image.
struct TImage : TControl {
    bool Stretch = false;
    std::string Picture;
};

struct TEdit : TControl {
    bool ReadOnly = false;
    int MaxLength = 0; // 0: no limit; limits what the user types, not SetText
    TNotifyEvent OnChange;
    const std::string &Text() const { return FText; }
    // Like the toolkit: the change event fires only when the text changes.
    void SetText(const std::string &t) {
        if (t == FText)
            return;
        FText = t;
        if (OnChange)
            OnChange();
    }

private:
    std::string FText;
};

struct TCheckBox : TControl {
    std::string Caption;
    TNotifyEvent OnClick;
    bool Checked() const { return FChecked; }
    // The toolkit fires the click event whenever the state changes.
    void SetChecked(bool c) {
        if (c == FChecked)
            return;
        FChecked = c;
        if (OnClick)
            OnClick();
    }

private:
    bool FChecked = false;
};

// ItemIndex is set freely by handlers; the view fires OnClick after the user
// picks an item.
struct TRadioGroup : TControl {
    std::string Caption;
    std::vector<std::string> Items;
    int ItemIndex = -1;
    int Columns = 1;
    TNotifyEvent OnClick;
};

struct TSpinEdit : TControl {
    int MinValue = 0;
    int MaxValue = 0;
    int Increment = 1;
    int Value() const { return FValue; }
    // Clamped into the range when the range is not empty (MinValue != MaxValue).
    void SetValue(int v) {
        if (MinValue != MaxValue)
            v = std::clamp(v, std::min(MinValue, MaxValue), std::max(MinValue, MaxValue));
        FValue = v;
    }

private:
    int FValue = 0;
};

// Progress gauge: the position stays within MinValue..MaxValue; lowering the
// maximum below the position pulls the position down with it.
struct TGauge : TControl {
    TColor ForeColor = TColor::Blue;
    int MinValue = 0;
    int Progress() const { return FProgress; }
    int MaxValue() const { return FMaxValue; }
    void SetProgress(int p) { FProgress = std::clamp(p, MinValue, std::max(MinValue, FMaxValue)); }
    void SetMaxValue(int m) {
        FMaxValue = std::max(m, MinValue);
        if (FProgress > FMaxValue)
            FProgress = FMaxValue;
    }
    // Counts repaint requests so a view can refresh at once when asked.
    int RepaintCount = 0;
    void Repaint() { ++RepaintCount; }

private:
    int FProgress = 0;
    int FMaxValue = 100;
};

// Multi-line memo. Views append new lines incrementally: ClearCount changes
// whenever the text is replaced, so a view knows when to start over.
struct TMemo : TControl {
    bool ReadOnly = false;
    bool VerticalScrollBar = false;
    TPopupMenu *PopupMenu = nullptr;
    std::vector<std::string> Lines;
    unsigned ClearCount = 0;
    // The selection, in bytes of Text(); SelectRequests changes whenever a
    // handler selects, so the view shows it.
    size_t SelStart = 0;
    size_t SelLength = 0;
    unsigned SelectRequests = 0;
    void Add(const std::string &line) { Lines.push_back(line); }
    void Clear() {
        Lines.clear();
        SelStart = SelLength = 0;
        ++ClearCount;
    }
    void SelectAll() {
        SelStart = 0;
        SelLength = Text().size();
        ++SelectRequests;
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
    bool Sorted = false;
    std::vector<std::string> Items;
    int ItemIndex = -1;
    std::string Text;
    TNotifyEvent OnChange;
    // Sorted combos insert in case-insensitive order, as the toolkit does.
    int AddItem(const std::string &s) {
        if (!Sorted) {
            Items.push_back(s);
            return static_cast<int>(Items.size()) - 1;
        }
        auto less = [](const std::string &a, const std::string &b) {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) <
                       std::tolower(static_cast<unsigned char>(y));
            });
        };
        auto it = std::upper_bound(Items.begin(), Items.end(), s, less);
        return static_cast<int>(Items.insert(it, s) - Items.begin());
    }
    void ClearItems() {
        Items.clear();
        ItemIndex = -1;
    }
    // Removes one item; the selection follows its item or is dropped with it.
    void DeleteItem(int index) {
        if (index < 0 || index >= static_cast<int>(Items.size()))
            return;
        Items.erase(Items.begin() + index);
        if (ItemIndex == index)
            ItemIndex = -1;
        else if (ItemIndex > index)
            --ItemIndex;
    }
};

// String grid: Cells are addressed (column, row) as in the toolkit. Reading a
// cell outside the grid gives an empty text; writing one outside is ignored.
struct TStringGrid : TControl {
    TStringGrid() { FontColor = TColor::Black; }
    int ColCount = 5;
    int FixedRows = 1;
    int FixedCols = 1;
    int DefaultColWidth = 64;
    int DefaultRowHeight = 24;
    std::vector<int> ColWidths; // per column; 0 means the default width
    bool VerticalScrollBar = false;
    // Bumped whenever rows or cells change, so a view can reset its model.
    unsigned ChangeCount = 0;

    int RowCount() const { return FRowCount; }
    void SetRowCount(int rows) {
        FRowCount = std::max(rows, 0);
        FCells.resize(static_cast<size_t>(FRowCount));
        for (auto &r : FCells)
            r.resize(static_cast<size_t>(ColCount));
        ++ChangeCount;
    }
    void SetColWidth(int col, int w) {
        if (col < 0 || col >= ColCount)
            return;
        ColWidths.resize(static_cast<size_t>(ColCount), 0);
        ColWidths[static_cast<size_t>(col)] = w;
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
        ++ChangeCount;
    }

private:
    int FRowCount = 5;
    std::vector<std::vector<std::string>> FCells =
        std::vector<std::vector<std::string>>(5, std::vector<std::string>(5));
};

struct TTabSheet : TControl {
    std::string Caption;
    bool TabVisible = true;
};

struct TPageControl : TControl {
    std::vector<TTabSheet *> Pages;
    int ActivePageIndex = 0;
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
