// What the operator meets in the gang programmer's windows, offscreen: naming
// a new log file through Browse, copying the information panel, reading a
// long port name in the narrow port field, and the gauges' percentage and
// disabled look.
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/VltProgram.h"
#include "app/qt/LogCfgDialog.h"
#include "app/qt/MainWindow.h"
#include "app/qt/VltWindows.h"
#include "forms/ProgramVLTForm.h"
#include "forms/qt/GaugeView.h"
#include "forms/qt/MemoView.h"
#include "forms/qt/ViewBinder.h"
#include "platform/Clock.h"
#include "tests/qt/GaugeLook.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 20000;

// A program folder and the windows, with no programmer attached.
struct Station {
    Station() : Clock({2026, 12, 7, 22, 15, 3, 0}) {
        static int serial = 0;
        Dir = fs::temp_directory_path() /
              ("pelmor_op_" + std::to_string(::getpid()) + "_" + std::to_string(++serial));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Windows = std::make_unique<VltWindows>(Clock, (Dir / "Pelmor200VLT").string());
        Windows->Program().PortScan.DeviceMap = [] { return TSerialDeviceMap{}; };
        Windows->Program().PortScan.Pause = [](unsigned) {};
        Main().show();
    }
    ~Station() {
        Form().LogCfgForm.CheckBoxLog.SetChecked(false); // no log left behind
        Windows.reset();
        fs::remove_all(Dir);
    }
    // The first show has run: the greeting is in the panel.
    bool Started() { return !Form().InfoMemo.Lines.empty(); }
    MainWindow &Main() { return Windows->Main(); }
    TProgramVLT &Form() { return Windows->Program().Form(); }
    QWidget *W(const char *name) { return Main().Widget(name); }

    TFixedClock Clock;
    fs::path Dir;
    std::unique_ptr<VltWindows> Windows;
};

// Runs `act` once from the event loop, i.e. inside whatever modal window is
// open by then; act waits for the window it expects itself. If a check in
// act fails, the modal windows still open are closed so the test ends
// instead of waiting for ever.
void InModal(QObject *context, std::function<void()> act) {
    QTimer::singleShot(0, context, [act = std::move(act)] {
        act();
        if (!QTest::currentTestFailed())
            return;
        QWidget *last = nullptr;
        while (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            if (d == last)
                break;
            last = d;
            d->reject();
        }
    });
}

QStringList Lines(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return QString::fromStdString(s.str()).split("\r\n", Qt::SkipEmptyParts);
}

// Relative luminance-like brightness, 0 black to 1 white.
double Brightness(QRgb c) {
    return (0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c)) / 255.0;
}

} // namespace

class OperatorWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    // Browse in the log dialog takes the name of a file that does not exist
    // yet; the log is then written there at close.
    void browseNamesANewLogFile() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        const fs::path log = s.Dir / "new-run.log";
        QVERIFY(!fs::exists(log));

        bool browsed = false;
        InModal(&s.Main(), [&] {
            LogCfgDialog &dlg = s.Windows->LogCfg();
            QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == &dlg, kWaitMs);
            // The operator's own file: the second choice of the name group.
            const auto radios = dlg.Widget("RadioGrpCreat")->findChildren<QRadioButton *>();
            QCOMPARE(radios.size(), 2);
            QTest::mouseClick(radios[1], Qt::LeftButton);
            auto *browse = static_cast<QPushButton *>(dlg.Widget("SpeedButtonOP"));
            QVERIFY(browse->isEnabled());

            InModal(&dlg, [&] {
                QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QFileDialog *>(QApplication::activeModalWidget()),
                                         kWaitMs);
                auto *fd = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                // An existing-file dialog would answer a new name with a box of its own.
                QCOMPARE(fd->fileMode(), QFileDialog::AnyFile);
                QCOMPARE(fd->acceptMode(), QFileDialog::AcceptOpen);
                auto *name = fd->findChild<QLineEdit *>("fileNameEdit");
                QVERIFY(name);
                name->setText(QString::fromStdString(log.string()));
                QTest::keyClick(name, Qt::Key_Return);
                QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeModalWidget() == &dlg, kWaitMs);
                browsed = true;
            });
            QTest::mouseClick(browse, Qt::LeftButton);
            QVERIFY(browsed);
            QCOMPARE(static_cast<QLineEdit *>(dlg.Widget("EditLogName"))->text(),
                     QString::fromStdString(log.string()));
            QTest::mouseClick(dlg.Widget("OK"), Qt::LeftButton);
        });
        s.Main().Action("CfgLog")->trigger();
        QVERIFY(browsed);
        QCOMPARE(s.Form().LogCfgForm.GetLogFileName(), log.string());
        QVERIFY(!fs::exists(log)); // named, not yet written

        s.Main().Run([&] { s.Form().AddInfoLine("one result"); });
        QVERIFY(s.Main().close());
        const QStringList lines = Lines(log);
        QCOMPARE(lines.size(), static_cast<qsizetype>(s.Form().InfoMemo.Lines.size()));
        QVERIFY(lines.last().endsWith("one result"));
    }

    // The data file dialog, unlike Browse, still wants a file that exists.
    void loadDialogStillWantsAnExistingFile() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        bool looked = false;
        InModal(&s.Main(), [&] {
            QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QFileDialog *>(QApplication::activeModalWidget()), kWaitMs);
            auto *fd = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QCOMPARE(fd->fileMode(), QFileDialog::ExistingFile);
            looked = true;
            fd->reject();
        });
        QTest::mouseClick(s.W("SpdBtnOpen"), Qt::LeftButton);
        QVERIFY(looked);
        QCOMPARE(s.Form().ProductEditX.Text(), std::string());
    }

    // "Copy Information" from the panel's popup selects the whole panel and
    // copies it with LF line ends.
    void copyInformationSelectsAndCopiesTheWholePanel() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        s.Main().Run([&] {
            s.Form().AddInfoLine("Channel 1 : Progrmming Completed : Successed !");
            s.Form().AddInfoLine("端口 /dev/pts/6");
        });
        QApplication::clipboard()->setText("old");
        auto *memo = static_cast<MemoView *>(s.W("InfoMemo"));
        QVERIFY(!memo->HasSelection());

        const QPoint at = memo->viewport()->rect().center();
        QContextMenuEvent ask(QContextMenuEvent::Mouse, at, memo->viewport()->mapToGlobal(at));
        QApplication::sendEvent(memo->viewport(), &ask);
        auto *popup = memo->findChild<QMenu *>();
        QVERIFY(popup);
        QTRY_VERIFY_WITH_TIMEOUT(popup->isVisible(), kWaitMs);
        QAction *copy = nullptr;
        for (QAction *a : popup->actions())
            if (a->text() == "Copy Information")
                copy = a;
        QVERIFY(copy);
        QTest::mouseClick(popup, Qt::LeftButton, {}, popup->actionGeometry(copy).center());
        QTRY_VERIFY_WITH_TIMEOUT(!popup->isVisible(), kWaitMs);

        const TMemo &m = s.Form().InfoMemo;
        const QString copied = QApplication::clipboard()->text();
        QCOMPARE(m.SelText(), m.Text());
        QVERIFY(memo->HasSelection());
        QCOMPARE(memo->SelectedText(), memo->Text());
        // Every line ended by LF, as Ctrl+C copies the same selection.
        QVERIFY(!copied.contains('\r'));
        QCOMPARE(copied.count('\n'), static_cast<qsizetype>(m.Lines.size()));
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(copied, QApplication::clipboard()->text() + '\n');
    }

    // The port field is narrow: its list opens as wide as the longest name,
    // the field shows the end of a name, the part that tells ports apart, and
    // its tip the whole name. A prompt shows from its first letter.
    void portFieldShowsTheEndOfANameAndTheWholeName() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        auto *combo = static_cast<QComboBox *>(s.W("ComboBoxCOM"));
        QLineEdit *field = combo->lineEdit();
        const TComboBox &m = s.Form().ComboBoxCOM;
        // With no programmer the field says so, from its first letter.
        QCOMPARE(field->text(), QString("No Device Availiable"));
        QVERIFY(field->fontMetrics().horizontalAdvance(field->text()) > field->width());
        QCOMPARE(field->cursorPosition(), 0);
        QCOMPARE(field->toolTip(), QString("No Device Availiable"));

        const std::string longest = "/dev/serial/by-id/usb-Pelmor_Gang_Programmer_0042-if00";
        // A new list and a name of it shown, as a connect scan leaves them.
        auto list = [&](const std::string &shown) {
            s.Main().Run([&] {
                TComboBox &c = s.Form().ComboBoxCOM;
                c.ClearItems();
                for (const char *port : {"/dev/pts/6", "/dev/pts/7"})
                    c.AddItem(port);
                c.AddItem(longest);
                c.Text = shown;
            });
            return field->grab().toImage();
        };
        // Two pseudo-terminals differ only in their last digit, which the field shows.
        QVERIFY(field->fontMetrics().horizontalAdvance("/dev/pts/6") > field->width());
        const QImage six = list("/dev/pts/6");
        QCOMPARE(field->cursorPosition(), field->text().size()); // the first listed port too
        const QImage seven = list("/dev/pts/7");
        QVERIFY(six != seven);
        // Both drawn from their end: they differ only where the last digit is.
        const QRect start(0, 0, six.width() / 2, six.height());
        QCOMPARE(six.copy(start), seven.copy(start));
        QCOMPARE(field->text(), QString("/dev/pts/7"));
        QCOMPARE(field->toolTip(), QString("/dev/pts/7"));
        QCOMPARE(field->cursorPosition(), field->text().size());
        // The same name shown again, from a new list, is drawn the same.
        QCOMPARE(list("/dev/pts/6"), six);

        combo->showPopup();
        QAbstractItemView *view = combo->view();
        QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), kWaitMs);
        QCOMPARE(view->model()->index(0, 0).data().toString(), QString("/dev/pts/6"));
        QVERIFY(view->viewport()->width() >= view->sizeHintForColumn(0));
        QVERIFY(view->viewport()->width() >=
                view->fontMetrics().horizontalAdvance(QString::fromStdString(longest)));
        QVERIFY(view->width() > combo->width());

        // The operator picks the long name from the list.
        const QModelIndex item = view->model()->index(2, 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
        QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), kWaitMs);
        QCOMPARE(m.Text, longest);
        QCOMPARE(m.ItemIndex, 2);
        QCOMPARE(field->text(), QString::fromStdString(longest));
        QCOMPARE(field->cursorPosition(), field->text().size());
        QCOMPARE(field->toolTip(), QString::fromStdString(longest));

        // And the first one.
        combo->showPopup();
        QTRY_VERIFY_WITH_TIMEOUT(view->isVisible(), kWaitMs);
        const QModelIndex first = view->model()->index(0, 0);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(first).center());
        QTRY_VERIFY_WITH_TIMEOUT(!view->isVisible(), kWaitMs);
        QCOMPARE(m.ItemIndex, 0);
        QCOMPARE(field->text(), QString("/dev/pts/6"));
        QCOMPARE(field->cursorPosition(), field->text().size());
    }

    // The "Interface" group is low: its two items still get a row each, one
    // under the other, tall enough for the round indicator, inside the frame.
    void interfaceItemsDoNotOverlap() {
        Station s;
        auto *group = static_cast<QGroupBox *>(s.W("RadioGrpPIF"));
        QCOMPARE(group->size(), QSize(146, 58));
        const auto items = group->findChildren<QRadioButton *>();
        QCOMPARE(items.size(), 2);
        const int indicator =
            group->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight, nullptr, items[0]);
        for (QRadioButton *b : items) {
            QVERIFY(group->contentsRect().contains(b->geometry()));
            QVERIFY2(b->height() >= indicator,
                     qPrintable(QString("%1 < %2").arg(b->height()).arg(indicator)));
        }
        QVERIFY(!items[0]->geometry().intersects(items[1]->geometry()));
    }

    // The percentage stands out from the bar it is on: light on the blue bar,
    // dark on the red bar and on the empty gauge.
    void gaugeTextIsReadableOnEveryBar() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        auto *gauge = static_cast<QProgressBar *>(s.W("GaugeBar1"));
        const struct {
            TColor colour;
            int progress;
            bool lightText;
        } cases[] = {{TColor::Blue, 100, true}, {TColor::Red, 100, false}, {TColor::Blue, 0, false}};
        for (const auto &c : cases) {
            s.Main().Run([&] {
                TGauge &g = s.Form().GaugeBar1;
                g.Enabled = true; // as when its programmer answers
                g.ForeColor = c.colour;
                g.SetMaxValue(100);
                g.SetProgress(c.progress);
            });
            QCOMPARE(gauge->value(), c.progress);
            const QImage shot = gauge->grab().toImage();
            // The text sits in the middle; the bar's own colour is neither
            // near white nor near black.
            const QRect middle =
                QRect(QPoint(0, 0), shot.size()).adjusted(shot.width() / 3, 3, -shot.width() / 3, -3);
            int light = 0, dark = 0;
            for (int y = middle.top(); y <= middle.bottom(); ++y)
                for (int x = middle.left(); x <= middle.right(); ++x) {
                    const double b = Brightness(shot.pixel(x, y));
                    light += b > 0.6;
                    dark += b < 0.1;
                }
            if (c.lightText) {
                QVERIFY2(light > 10, qPrintable(QString("light text pixels: %1").arg(light)));
            } else {
                QVERIFY2(dark > 10, qPrintable(QString("dark text pixels: %1").arg(dark)));
            }
        }
    }
    // A gauge whose programmer hung up is disabled and reads so: trough and
    // label greyed, the bar dimmed but of its own hue, so that a failed
    // operation's red bar is not taken for a finished one. Enabled again, it
    // is drawn as before to the pixel.
    void aDisabledGaugeKeepsItsBarsHue() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        auto *gauge = static_cast<GaugeView *>(s.W("GaugeBar2"));
        const QColor red = QtColor(TColor::Red), blue = QtColor(TColor::Blue), green(0, 128, 0);
        const struct {
            QColor colour; // invalid: the palette's highlight
            int progress;
        } cases[] = {{red, 100}, {blue, 100}, {green, 100}, {QColor(), 100},
                     {red, 50},  {blue, 50},  {green, 50}};
        for (const auto &c : cases) {
            s.Main().Run([&] {
                TGauge &g = s.Form().GaugeBar2;
                g.Enabled = true;
                g.SetMaxValue(100);
                g.SetProgress(c.progress);
            });
            gauge->SetBarColour(c.colour); // any colour, not only the program's
            const QColor own = gauge->BarColour();
            const QImage enabled = gauge->grab().toImage();
            s.Main().Run([&] { s.Form().GaugeBar2.Enabled = false; });
            QVERIFY(!gauge->isEnabled());
            const QImage disabled = gauge->grab().toImage();
            s.Main().Run([&] { s.Form().GaugeBar2.Enabled = true; });
            QCOMPARE(gauge->grab().toImage(), enabled);
            const QString what = own.name() + " at " + QString::number(c.progress) + "%";

            // The bar, away from the label: the bar's colour, dimmed, one colour all over.
            const QColor bar = disabled.pixelColor(BarPoints(disabled, c.progress).front());
            for (const QPoint &at : BarPoints(disabled, c.progress)) {
                QCOMPARE(enabled.pixelColor(at), own);
                QVERIFY2(disabled.pixelColor(at) == bar, qPrintable(what));
            }
            const QString hue = PlainlyOfHue(bar, own);
            QVERIFY2(hue.isEmpty(), qPrintable(what + ": " + hue));
            QVERIFY2(bar != own, qPrintable(what + ": not dimmed"));

            // The label over the bar: a grey between black and white, not the
            // enabled gauge's black or white, and still apart from the bar.
            const int barEnd = disabled.width() * c.progress / 100;
            const QColor onBar = LabelColourOverBar(enabled, own, barEnd);
            const QColor greyed = LabelColourOverBar(disabled, bar, barEnd);
            QVERIFY2(onBar == QColor(Qt::black) || onBar == QColor(Qt::white), qPrintable(onBar.name()));
            QVERIFY2(greyed.isValid(), qPrintable(what + ": no label over the bar"));
            const QString label = what + ": label " + greyed.name() + " on " + bar.name();
            QVERIFY2(greyed.hsvSaturation() <= 4, qPrintable(label));
            QVERIFY2(greyed.lightness() >= 40 && greyed.lightness() <= 215, qPrintable(label));
            QVERIFY2(std::abs(qGray(greyed.rgb()) - qGray(bar.rgb())) >= 40, qPrintable(label));
            if (c.progress >= 100)
                continue;

            // The trough: greyed, and the bar stands apart from it.
            const QPoint inTrough(disabled.width() - 5, disabled.height() / 2);
            const QColor trough = disabled.pixelColor(inTrough);
            QCOMPARE(enabled.pixelColor(inTrough), QColor(Qt::white));
            QVERIFY2(trough.hsvSaturation() <= 8 && trough != QColor(Qt::white), qPrintable(trough.name()));
            QVERIFY2(trough.lightness() - bar.lightness() >= 40,
                     qPrintable(bar.name() + " " + trough.name()));
            // The label is drawn softer than on an enabled gauge: no black pixel on the trough side.
            int black = 0;
            for (int x = disabled.width() / 2; x < disabled.width() - 2; ++x)
                for (int yy = 2; yy < disabled.height() - 2; ++yy)
                    black += disabled.pixelColor(x, yy).lightness() < 60;
            QCOMPARE(black, 0);
        }
    }
    // Replies in a burst are shown together at the window's pace, but the
    // operator never acts on an older picture than the models hold, the
    // timer that counts time-outs follows its model at once, and an idle tick
    // sets no refresh for later.
    void aBurstIsShownTogetherAndTheOperatorSeesTheLatest() {
        Station s;
        QTRY_VERIFY_WITH_TIMEOUT(s.Started(), kWaitMs);
        auto *memo = static_cast<MemoView *>(s.W("InfoMemo"));
        auto reply = [&s](const std::string &line) {
            s.Main().Handle([&s, line] { s.Form().InfoMemo.Add(line); });
        };
        s.Main().RefreshAll();
        reply("first of the burst");
        reply("second of the burst");
        if (s.Main().HoldsBack()) // always, unless the machine stalled between the calls
            QVERIFY(!memo->Text().contains("second of the burst"));
        QTest::mousePress(memo->viewport(), Qt::LeftButton);
        QTest::mouseRelease(memo->viewport(), Qt::LeftButton);
        QVERIFY(memo->Text().contains("second of the burst"));

        s.Main().RefreshAll();
        s.Main().Handle([&s] { s.Form().Timer1.Enabled = false; });
        QVERIFY(!s.Main().Timer().isActive());
        s.Main().Handle([&s] { s.Form().Timer1.Enabled = true; });
        QVERIFY(s.Main().Timer().isActive());

        // A tick that changes nothing leaves nothing to show later.
        QTRY_VERIFY(!s.Main().HoldsBack());
        s.Main().RefreshAll();
        s.Main().Handle([] {});
        QVERIFY(!s.Main().HoldsBack());
    }
};

QTEST_MAIN(OperatorWindowTest)
#include "OperatorWindowTest.moc"
