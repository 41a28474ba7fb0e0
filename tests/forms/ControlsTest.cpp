#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "forms/Controls.h"

TEST(Gauge, KeepsPositionWithinZeroAndMaximum) {
    struct Case {
        int max, progress, expected;
    };
    const Case cases[] = {{100, 50, 50}, {100, 150, 100}, {4, 2, 2}, {4, -3, 0}, {0, 2, 0}};
    for (const auto &c : cases) {
        TGauge g;
        g.SetMaxValue(c.max);
        g.SetProgress(c.progress);
        EXPECT_EQ(g.Progress(), c.expected) << "max " << c.max << " progress " << c.progress;
    }
}

TEST(Gauge, LoweringTheMaximumPullsThePositionDown) {
    TGauge g; // maximum 100
    g.SetProgress(50);
    g.SetMaxValue(8);
    EXPECT_EQ(g.Progress(), 8);
    // Raising it again does not bring the old position back.
    g.SetMaxValue(60);
    EXPECT_EQ(g.Progress(), 8);
    g.SetMaxValue(-5);
    EXPECT_EQ(g.MaxValue(), 0);
    EXPECT_EQ(g.Progress(), 0);
}

TEST(Gauge, PositionSetBeforeASmallerMaximumEndsAtThatMaximum) {
    // Position first, then the maximum: the order the operations use.
    TGauge g;
    g.SetMaxValue(4);
    g.SetProgress(2);
    g.SetMaxValue(1);
    EXPECT_EQ(g.Progress(), 1);
}

TEST(SpinEdit, ClampsIntoItsRangeUnlessTheRangeIsEmpty) {
    TSpinEdit s;
    s.MinValue = 10;
    s.MaxValue = 1000;
    s.SetValue(5);
    EXPECT_EQ(s.Value(), 10);
    s.SetValue(1005);
    EXPECT_EQ(s.Value(), 1000);
    s.SetValue(600);
    EXPECT_EQ(s.Value(), 600);
    TSpinEdit open; // 0..0 means no range
    open.SetValue(-7);
    EXPECT_EQ(open.Value(), -7);
}

TEST(ComboBox, SortedInsertionIgnoresCaseAndKeepsArrivalOrderOfEquals) {
    TComboBox c;
    c.Sorted = true;
    for (const char *s : {"ttyUSB1", "COM3", "com1", "ttyACM0", "COM1"})
        c.AddItem(s);
    EXPECT_EQ(c.Items, (std::vector<std::string>{"com1", "COM1", "COM3", "ttyACM0", "ttyUSB1"}));
    EXPECT_EQ(c.AddItem("Com2"), 2);

    TComboBox u; // unsorted keeps the order of adding
    u.AddItem("b");
    EXPECT_EQ(u.AddItem("a"), 1);
    EXPECT_EQ(u.Items, (std::vector<std::string>{"b", "a"}));
}

TEST(ComboBox, DeletingAnItemMovesOrDropsTheSelection) {
    TComboBox c;
    c.Items = {"a", "b", "c"};
    c.ItemIndex = 2;
    c.DeleteItem(0);
    EXPECT_EQ(c.ItemIndex, 1);
    EXPECT_EQ(c.Items, (std::vector<std::string>{"b", "c"}));
    c.DeleteItem(1);
    EXPECT_EQ(c.ItemIndex, -1);
    c.DeleteItem(5); // outside: nothing happens
    EXPECT_EQ(c.Items, (std::vector<std::string>{"b"}));
}

TEST(Edit, ChangeEventFiresOnlyWhenTheTextChanges) {
    TEdit e;
    int changes = 0;
    e.OnChange = [&] { ++changes; };
    e.SetText("Vt7115");
    e.SetText("Vt7115");
    e.SetText("Vt7117");
    EXPECT_EQ(changes, 2);
}

TEST(StringGrid, CellsOutsideTheGridReadEmptyAndIgnoreWrites) {
    TStringGrid g;
    g.ColCount = 18;
    g.SetRowCount(4097);
    g.SetCell(17, 4096, "last");
    g.SetCell(18, 0, "x");
    g.SetCell(0, 4097, "x");
    g.SetCell(-1, 0, "x");
    EXPECT_EQ(g.Cell(17, 4096), "last");
    EXPECT_EQ(g.Cell(18, 0), "");
    EXPECT_EQ(g.Cell(0, -1), "");
    g.SetRowCount(2); // shrinking drops the rows below
    EXPECT_EQ(g.Cell(17, 4096), "");
}

TEST(Memo, TextEndsEveryLineWithCrLf) {
    TMemo m;
    EXPECT_EQ(m.Text(), "");
    m.Add("a");
    m.Add("");
    m.Add("b");
    EXPECT_EQ(m.Text(), "a\r\n\r\nb\r\n");
}

TEST(Memo, SelectAllCoversTheTextOfThatMomentUntilCleared) {
    TMemo m;
    m.Add("> 端口");
    m.Add("b");
    const unsigned asked = m.SelectRequests;
    m.SelectAll();
    EXPECT_EQ(m.SelectRequests, asked + 1);
    EXPECT_EQ(m.SelText(), m.Text());
    m.Add("later");
    EXPECT_EQ(m.SelText(), "> 端口\r\nb\r\n");
    m.Clear();
    EXPECT_EQ(m.SelText(), "");
    m.Add("x");
    EXPECT_EQ(m.SelText(), "");
}

// Views show again only controls whose change count moved: every change a
// handler can make must move it, and a write of the same value must not.
TEST(ChangeCount, EveryChangeOfAControlMovesItsCount) {
    TEdit edit;
    TCheckBox box;
    TRadioGroup radio;
    TSpinEdit spin;
    TGauge gauge;
    TMemo memo;
    TComboBox combo;
    TStringGrid grid;
    TPageControl pages;
    TTabSheet sheet;
    TMenuItem item;
    TPopupMenu popup;
    TButton button;
    TLabel label;
    combo.Items = {"ttyUSB0", "ttyUSB1", "ttyACM1"};
    struct Case {
        const char *what;
        const TChangeCount &count;
        bool again; // a request, an addition or a grid write: doing it again is another change
        std::function<void()> change;
    };
    const Case cases[] = {
        {"text", edit.Changes, false, [&] { edit.SetText("0x6C"); }},
        {"read-only", edit.Changes, false, [&] { edit.ReadOnly = true; }},
        {"visible", edit.Changes, false, [&] { edit.Visible = false; }},
        {"enabled", edit.Changes, false, [&] { edit.Enabled = false; }},
        {"hint", edit.Changes, false, [&] { edit.Hint = "address"; }},
        {"bounds", edit.Changes, false, [&] { edit.SetBounds(160, 348, 110, 22); }},
        {"font colour", edit.Changes, false, [&] { edit.FontColor = TColor::Red; }},
        {"bold", edit.Changes, false, [&] { edit.FontBold = true; }},
        {"focus", edit.Changes, true, [&] { edit.SetFocus(); }},
        {"checked", box.Changes, false, [&] { box.SetChecked(true); }},
        {"check caption", box.Changes, false, [&] { box.Caption = "Chip Auto-Detected "; }},
        {"item index", radio.Changes, false, [&] { radio.ItemIndex = 1; }},
        {"radio items", radio.Changes, false,
         [&] {
             radio.Items = {"Use I2C", "Use SPI"};
         }},
        {"spin value", spin.Changes, false, [&] { spin.SetValue(7); }},
        {"spin range", spin.Changes, false, [&] { spin.MaxValue = 1000; }},
        {"progress", gauge.Changes, false, [&] { gauge.SetProgress(4); }},
        {"maximum", gauge.Changes, false, [&] { gauge.SetMaxValue(20); }},
        {"bar colour", gauge.Changes, false, [&] { gauge.ForeColor = TColor::Red; }},
        {"repaint", gauge.Changes, true, [&] { gauge.Repaint(); }},
        {"memo line", memo.Changes, true, [&] { memo.Add("> line"); }},
        {"memo clear", memo.Changes, true, [&] { memo.Clear(); }},
        {"memo selection", memo.Changes, true, [&] { memo.SelectAll(); }},
        {"combo text", combo.Changes, false, [&] { combo.Text = "ttyUSB1"; }},
        {"combo index", combo.Changes, false, [&] { combo.ItemIndex = 1; }},
        {"combo add", combo.Changes, true, [&] { combo.AddItem("ttyACM0"); }},
        {"combo delete", combo.Changes, true, [&] { combo.DeleteItem(0); }},
        {"combo items erased", combo.Changes, true, [&] { combo.Items.Change().pop_back(); }},
        {"combo clear", combo.Changes, false, [&] { combo.ClearItems(); }},
        {"cell", grid.Changes, true, [&] { grid.SetCell(1, 1, "FF"); }},
        {"rows", grid.Changes, true, [&] { grid.SetRowCount(4097); }},
        {"column width", grid.Changes, false, [&] { grid.SetColWidth(2, 130); }},
        {"active page", pages.Changes, false, [&] { pages.ActivePageIndex = 2; }},
        {"tab visible", sheet.Changes, false, [&] { sheet.TabVisible = false; }},
        {"menu caption", item.Changes, false, [&] { item.Caption = "Vt7115"; }},
        {"menu item shown", item.Changes, false, [&] { item.Visible = false; }},
        {"popup", popup.Changes, true, [&] { popup.Popup(300, 200); }},
        {"button caption", button.Changes, false, [&] { button.Caption = "Connnect Device"; }},
        {"label caption", label.Changes, false, [&] { label.Caption = "Device:   "; }},
    };
    for (const auto &c : cases) {
        const uint64_t before = c.count.Value();
        c.change();
        EXPECT_GT(c.count.Value(), before) << c.what;
        const uint64_t after = c.count.Value();
        c.change();
        if (c.again)
            EXPECT_GT(c.count.Value(), after) << c.what;
        else
            EXPECT_EQ(c.count.Value(), after) << c.what;
    }
}

TEST(ChangeCount, AViewLearnsWhichControlsChangedEachOncePerRound) {
    auto log = std::make_shared<TChangeLog>();
    TLabel a, b, c;
    a.Changes.Watch(log);
    b.Changes.Watch(log);
    b.Changes.Watch(log); // once per view
    c.Changes.Watch(log);
    a.Caption = "Chip Type:  ";
    b.Visible = false;
    a.Caption = "Chip Type: Vt7115";
    EXPECT_EQ(log->Changed, (std::vector<const void *>{&a.Changes, &b.Changes}));
    // The view takes the list: the next change is listed again.
    log->Changed.clear();
    ++log->Round;
    a.Enabled = false;
    EXPECT_EQ(log->Changed, (std::vector<const void *>{&a.Changes}));
}
