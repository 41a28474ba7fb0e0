#include <gtest/gtest.h>

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
