#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QtTest>
#include <stdexcept>

#include "forms/qt/GaugeView.h"
#include "forms/qt/MemoView.h"
#include "forms/qt/ViewBinder.h"

class ViewBinderTest : public QObject {
    Q_OBJECT
    QStringList Log;
    // The program's runner: records, runs, then shows the models again.
    ViewBinder::Runner Runner(ViewBinder *&binder) {
        return [this, &binder](const ViewBinder::Action &a) {
            Log << "run";
            try {
                a();
            } catch (const std::exception &e) {
                Log << QString("error: ") + e.what();
            }
            binder->Refresh();
        };
    }

private slots:
    void clicksReachTheModelEventOrTheHandlerGiven() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        QWidget top;
        TButton m, n;
        m.Caption = "&Program";
        m.OnClick = [this] { Log << "model"; };
        n.OnClick = [this] { Log << "model n"; };
        auto *w = new QPushButton(&top);
        auto *v = new QPushButton(&top);
        b.Bind(m, w);
        b.Bind(n, v, [this] { throw std::runtime_error("'x10z' is not a valid integer value"); });
        QCOMPARE(w->text(), QString("&Program"));
        top.show();
        QTest::mouseClick(w, Qt::LeftButton);
        QTest::mouseClick(v, Qt::LeftButton);
        QCOMPARE(Log, (QStringList{"run", "model", "run", "error: 'x10z' is not a valid integer value"}));
        // A disabled model shows a disabled button; a handler's new size is followed.
        m.Enabled = false;
        m.SetBounds(10, 20, 70, 22);
        b.Refresh();
        QVERIFY(!w->isEnabled());
        QCOMPARE(w->geometry(), QRect(10, 20, 70, 22));
    }

    void showingAModelIsNoUserAction() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        QWidget top;
        TCheckBox box;
        TEdit edit;
        TRadioGroup radio;
        radio.Items = {"3.3V", "5.0V", "2.5V"};
        radio.ItemIndex = 2;
        int clicks = 0, changes = 0, radioClicks = 0;
        box.OnClick = [&] { ++clicks; };
        edit.OnChange = [&] { ++changes; };
        radio.OnClick = [&] { ++radioClicks; };
        auto *cw = new QCheckBox(&top);
        auto *ew = new QLineEdit(&top);
        auto *rw = new QGroupBox(&top);
        b.Bind(box, cw);
        b.Bind(edit, ew);
        b.Bind(radio, rw);
        top.show();
        box.SetChecked(true); // a handler's change: one event from the model itself
        edit.SetText("0x6C");
        radio.ItemIndex = -1; // nothing picked
        b.Refresh();
        QVERIFY(cw->isChecked());
        QCOMPARE(ew->text(), QString("0x6C"));
        const auto buttons = rw->findChildren<QRadioButton *>();
        QCOMPARE(buttons.size(), 3);
        for (auto *r : buttons)
            QVERIFY(!r->isChecked());
        QCOMPARE(clicks, 1);
        QCOMPARE(changes, 1);
        QCOMPARE(radioClicks, 0);

        // The user's actions.
        QTest::mouseClick(cw, Qt::LeftButton);
        QVERIFY(!box.Checked());
        QTest::keyClick(ew, Qt::Key_0);
        QCOMPARE(edit.Text(), std::string("0x6C0"));
        buttons[1]->click();
        QCOMPARE(radio.ItemIndex, 1);
        QCOMPARE(clicks, 2);
        QCOMPARE(changes, 2);
        QCOMPARE(radioClicks, 1);
    }

    // Timer1 refreshes every 10 ms, and a control's model may change while
    // the user works its widget: showing it again must leave what the user is
    // doing alone.
    void refreshesLeaveTheUsersEditingAlone() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        QWidget top;
        TEdit name, addr;
        name.MaxLength = 16;
        name.SetText("Please Select Chip...");
        addr.MaxLength = 4;
        TSpinEdit spin;
        spin.MinValue = 0;
        spin.MaxValue = 1000000;
        spin.Increment = 10;
        spin.SetValue(1000);
        auto *nw = new QLineEdit(&top);
        auto *aw = new QLineEdit(&top);
        auto *sw = new QSpinBox(&top);
        nw->move(0, 0);
        aw->move(0, 40);
        sw->setGeometry(0, 80, 120, 24);
        b.Bind(name, nw);
        b.Bind(addr, aw);
        b.Bind(spin, sw);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        // Shows the edit's model again while the user's cursor and selection
        // stand; gives how many controls were shown.
        auto showAddrAgain = [&] {
            const auto syncs = b.Syncs();
            addr.Hint = "refresh " + std::to_string(syncs);
            b.Refresh();
            return b.Syncs() - syncs;
        };

        // The limit is for typing; a handler's longer text is shown whole.
        QCOMPARE(nw->text(), QString("Please Select Chip..."));
        nw->setFocus();
        QTest::keyClick(nw, Qt::Key_End);
        QTest::keyClick(nw, Qt::Key_Backspace);
        QTest::keyClicks(nw, "xy");
        QCOMPARE(name.Text(), std::string("Please Select Chip.."));
        aw->setFocus();
        QTest::keyClicks(aw, "0x123");
        QCOMPARE(addr.Text(), std::string("0x12"));
        QTest::keyClick(aw, Qt::Key_Left);
        QTest::keyClick(aw, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(showAddrAgain(), uint64_t{1});
        QCOMPARE(aw->cursorPosition(), 2);
        QCOMPARE(aw->selectedText(), QString("1"));
        QTest::keyClick(aw, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(showAddrAgain(), uint64_t{1});
        QCOMPARE(aw->selectedText(), QString("0x12"));

        // Holding the up arrow goes on stepping while the spin edit is shown
        // again at every step.
        QTimer ticks;
        QObject::connect(&ticks, &QTimer::timeout, [&b] { b.Refresh(); });
        ticks.start(10);
        QStyleOptionSpinBox opt;
        opt.initFrom(sw);
        opt.subControls = QStyle::SC_All;
        opt.stepEnabled = QAbstractSpinBox::StepUpEnabled | QAbstractSpinBox::StepDownEnabled;
        const QPoint up =
            sw->style()->subControlRect(QStyle::CC_SpinBox, &opt, QStyle::SC_SpinBoxUp, sw).center();
        QTest::mousePress(sw, Qt::LeftButton, {}, up);
        QTRY_VERIFY_WITH_TIMEOUT(spin.Value() >= 1040, 5000);
        QTest::mouseRelease(sw, Qt::LeftButton, {}, up);
    }

    // A refresh shows again only the controls whose models changed: one that
    // changed nothing writes no widget.
    void refreshShowsOnlyChangedControls() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        QWidget top;
        TLabel a, c;
        TCheckBox box;
        a.Caption = "Chip Type:  ";
        c.Caption = "Device:   ";
        auto *aw = new QLabel(&top);
        auto *cw = new QLabel(&top);
        auto *bw = new QCheckBox(&top);
        b.Bind(a, aw);
        b.Bind(c, cw);
        b.Bind(box, bw);
        const auto syncs = b.Syncs();
        b.Refresh();
        QCOMPARE(b.Syncs(), syncs);

        // A widget whose model did not change keeps whatever it shows.
        cw->setText("not from the model");
        a.Caption = "Chip Type: Vt7115";
        b.Refresh();
        QCOMPARE(b.Syncs(), syncs + 1);
        QCOMPARE(aw->text(), QString("Chip Type: Vt7115"));
        QCOMPARE(cw->text(), QString("not from the model"));
        // Writing the value a member already has is no change.
        a.Caption = "Chip Type: Vt7115";
        a.Visible = true;
        box.SetChecked(false);
        b.Refresh();
        QCOMPARE(b.Syncs(), syncs + 1);

        // Every kind of change reaches the widget, the font too.
        box.SetChecked(true);
        box.Enabled = false;
        box.FontColor = TColor::Red;
        c.Hint = "the port";
        b.Refresh();
        QCOMPARE(b.Syncs(), syncs + 3);
        QVERIFY(bw->isChecked());
        QVERIFY(!bw->isEnabled());
        QCOMPARE(bw->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(cw->text(), QString("Device:   "));
        QCOMPARE(cw->toolTip(), QString("the port"));
    }

    void memoAppendsNewLinesAndStartsOverAfterClear() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        TMemo memo;
        MemoView w;
        b.Bind(memo, &w);
        memo.Add("> one");
        memo.Add("> 二");
        b.Refresh();
        QCOMPARE(w.Text(), QString("> one\n> 二"));
        memo.Add("> three");
        b.Refresh();
        QCOMPARE(w.Text(), QString("> one\n> 二\n> three"));
        // A handler's selection, in bytes of the CR LF text, is shown in characters.
        memo.SelStart = std::string("> one\r\n").size();
        memo.SelLength = std::string("> 二").size();
        ++memo.SelectRequests;
        memo.Changes.Bump();
        b.Refresh();
        QCOMPARE(w.SelectedText(), QString("> 二"));
        memo.Clear();
        memo.Add("> after");
        memo.Add("> from the device: one\r\ntwo");
        b.Refresh();
        QCOMPARE(w.Text(), QString("> after\n> from the device: one\ntwo"));
        QCOMPARE(w.LineCount(), 3);
        QVERIFY(!w.HasSelection());
    }

    void gridShowsEveryRowThroughItsModel() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        TStringGrid g;
        g.ColCount = 18;
        g.SetRowCount(2);
        QTableView w;
        b.Bind(g, &w);
        QCOMPARE(w.model()->rowCount(), 1);
        g.SetRowCount(4097);
        for (int c = 1; c <= 16; ++c)
            g.SetCell(c, 0, "  " + std::string(1, "0123456789ABCDEF"[c - 1]));
        g.SetCell(0, 4096, "FFF0");
        g.SetCell(16, 4096, "FF");
        g.SetColWidth(17, 130);
        b.Refresh();
        QCOMPARE(w.model()->rowCount(), 4096);
        QCOMPARE(w.model()->columnCount(), 17);
        QCOMPARE(w.model()->headerData(15, Qt::Horizontal).toString(), QString("  F"));
        QCOMPARE(w.model()->headerData(4095, Qt::Vertical).toString(), QString("FFF0"));
        QCOMPARE(w.model()->index(4095, 15).data().toString(), QString("FF"));
        QCOMPARE(w.columnWidth(16), 130);
    }

    void gaugeComboTabsAndPopup() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        QWidget top;
        TGauge gauge;
        TComboBox combo;
        TPageControl pages;
        TTabSheet a, c;
        pages.Pages = {&a, &c};
        TPopupMenu popup;
        TMenuItem item;
        item.Caption = "Vt7129-2F";
        popup.Items = {&item};
        popup.AutoHotkeys = false;
        auto *gw = new GaugeView(&top);
        auto *cw = new QComboBox(&top);
        auto *tw = new QTabWidget(&top);
        tw->addTab(new QWidget, "a");
        tw->addTab(new QWidget, "c");
        b.Bind(gauge, gw);
        b.Bind(combo, cw);
        b.Bind(pages, tw);
        QMenu *menu = b.Bind(popup, &top);
        top.show();

        gauge.SetMaxValue(8);
        gauge.SetProgress(20);
        gauge.ForeColor = TColor::Red;
        combo.Items = {"ttyUSB0", "ttyUSB1"};
        combo.Text = "ttyUSB1";
        c.TabVisible = false;
        b.Refresh();
        QCOMPARE(gw->maximum(), 8);
        QCOMPARE(gw->value(), 8);
        QCOMPARE(gw->BarColour(), QColor(Qt::red));
        QCOMPARE(cw->count(), 2);
        QCOMPARE(cw->currentText(), QString("ttyUSB1"));
        QVERIFY(!tw->isTabVisible(1));
        QVERIFY(!menu->isVisible());

        popup.Popup(100, 120);
        b.Refresh();
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->actions().at(0)->text(), QString("Vt7129-2F"));
        menu->hide();
        b.Refresh(); // no new request: stays closed
        QVERIFY(!menu->isVisible());
    }

    // A new list can make the text a combo box shows one of its names: here
    // a port shown before it was listed, then listed first and chosen by a
    // handler. The widget writes no text of its own then (the first item of
    // a new list is the text it shows), yet the field must show the name's
    // end, the part that tells ports apart, unless the user is in the field:
    // there the cursor stays where the user put it.
    void aNewListMakesTheShownTextAName() {
        ViewBinder *self = nullptr;
        ViewBinder b(Runner(self));
        self = &b;
        QWidget top;
        TComboBox combo;
        auto *cw = new QComboBox(&top);
        cw->setGeometry(0, 0, 60, 24);
        auto *elsewhere = new QLineEdit(&top);
        elsewhere->move(0, 40);
        b.Bind(combo, cw);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));
        QLineEdit *field = cw->lineEdit();
        QVERIFY(field->fontMetrics().horizontalAdvance("/dev/pts/6") > field->width());
        for (bool inField : {false, true}) {
            combo.ClearItems();
            combo.Text = "/dev/pts/6";
            b.Refresh();
            QCOMPARE(field->cursorPosition(), 0); // no name yet: from its start
            if (inField) {
                cw->setFocus();
                QTRY_VERIFY(field->hasFocus());
                QTest::keyClick(field, Qt::Key_End);
                QTest::keyClick(field, Qt::Key_Left);
                QTest::keyClick(field, Qt::Key_Left);
            } else {
                elsewhere->setFocus();
                QTRY_VERIFY(elsewhere->hasFocus());
            }
            const int cursor = field->cursorPosition();
            combo.AddItem("/dev/pts/6");
            combo.AddItem("/dev/pts/7");
            combo.ItemIndex = 0;
            b.Refresh();
            QCOMPARE(cw->currentIndex(), 0);
            QCOMPARE(field->text(), QString("/dev/pts/6"));
            QCOMPARE(field->cursorPosition(), inField ? cursor : 10);
        }
    }
};

QTEST_MAIN(ViewBinderTest)
#include "ViewBinderTest.moc"
