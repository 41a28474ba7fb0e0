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
};

struct TLabel : TControl {
    std::string Caption;
};

struct TPanel : TControl {
    std::string Caption;
};

struct TButton : TControl {
    std::string Caption;
    TNotifyEvent OnClick;
    void Click() {
        if (Enabled && Visible && OnClick)
            OnClick();
    }
};

struct TMenuItem {
    std::string Caption;
    std::string ShortCut; // "Ctrl+L", "F7", empty when none
    bool Visible = true;
    bool Enabled = true;
    int Tag = 0;
    TNotifyEvent OnClick;
    void Click() {
        if (Enabled && OnClick)
            OnClick();
    }
};

struct TEdit : TControl {
    bool ReadOnly = false;
    int MaxLength = 0; // 0: no limit
    int Height = 0;
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

struct TRadioGroup : TControl {
    std::string Caption;
    std::vector<std::string> Items;
    int ItemIndex = -1;
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

// Progress gauge: the position stays within MinValue..MaxValue.
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
    std::vector<std::string> Lines;
    unsigned ClearCount = 0;
    void Add(const std::string &line) { Lines.push_back(line); }
    void Clear() {
        Lines.clear();
        ++ClearCount;
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
                return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
            });
        };
        auto it = std::upper_bound(Items.begin(), Items.end(), s, less);
        return static_cast<int>(Items.insert(it, s) - Items.begin());
    }
    void ClearItems() {
        Items.clear();
        ItemIndex = -1;
    }
};

// String grid: Cells are addressed (column, row) as in the toolkit. Reading a
// cell outside the grid gives an empty text; writing one outside is ignored.
struct TStringGrid : TControl {
    int ColCount = 5;
    int FixedRows = 1;
    int FixedCols = 1;
    int DefaultColWidth = 64;
    int DefaultRowHeight = 24;
    std::vector<int> ColWidths; // per column; 0 means the default width
    TColor FontColor = TColor::Black;
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
        if (col >= 0 && static_cast<size_t>(col) < ColWidths.size() && ColWidths[static_cast<size_t>(col)] > 0)
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
    std::vector<std::vector<std::string>> FCells = std::vector<std::vector<std::string>>(5, std::vector<std::string>(5));
};

struct TTabSheet : TControl {
    std::string Caption;
    bool TabVisible = true;
};

struct TPageControl : TControl {
    int ActivePageIndex = 0;
};

struct TTimer {
    int Interval = 1000;
    bool Enabled = true;
    TNotifyEvent OnTimer;
};
