#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <stdexcept>
#include <thread>
#include <vector>

#include "forms/Controls.h"
#include "forms/qt/FileFilter.h"
#include "forms/qt/JpegImage.h"
#include "forms/qt/QtDialogs.h"
#include "forms/qt/QtEventQueue.h"

namespace {

QByteArray Asset(const char *name) {
    QFile f(QString(PELMOR_ASSETS_DIR) + "/" + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Closes the modal box that opens next, once the event loop runs inside it.
// Watches only while it lives and for at most ten seconds; Came tells whether
// a box came at all.
class NextModal {
public:
    explicit NextModal(std::function<void()> whileOpen = {}) : WhileOpen(std::move(whileOpen)) {
        Since.start();
        QObject::connect(&Poll, &QTimer::timeout, [this] { Check(); });
        Poll.start(1);
    }
    bool Came = false;

private:
    void Check() {
        QWidget *w = QApplication::activeModalWidget();
        if (!w) {
            if (Since.hasExpired(10000))
                Poll.stop();
            return;
        }
        Poll.stop();
        Came = true;
        if (WhileOpen)
            WhileOpen();
        if (auto *box = qobject_cast<QMessageBox *>(w))
            box->button(QMessageBox::Ok)->click();
        else if (auto *dlg = qobject_cast<QDialog *>(w))
            dlg->reject();
    }
    std::function<void()> WhileOpen;
    QElapsedTimer Since;
    QTimer Poll;
};

// Counts the rings that reach a queue.
struct RingCount : QObject {
    explicit RingCount(QObject &queue) { queue.installEventFilter(this); }
    int Count = 0;
    bool eventFilter(QObject *, QEvent *e) override {
        Count += e->type() == QtEventQueue::RingType;
        return false;
    }
};

} // namespace

class QtCommonTest : public QObject {
    Q_OBJECT
private slots:
    void filtersInQtForm_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two pairs") << "All VLT Files (*.Bin,*.TXT,*.C)|*.BIN;*.TXT;*.C|All Files (*.*)|*.*"
                                   << QStringList{"All VLT Files (*.Bin,*.TXT,*.C) (*.BIN *.TXT *.C)",
                                                  "All Files (*.*) (*.*)"};
        QTest::newRow("trailing semicolon")
            << "*.hfg,*.BIN|*.hfg;*.BIN;|All Files (*.*)|*.*"
            << QStringList{"*.hfg,*.BIN (*.hfg *.BIN)", "All Files (*.*) (*.*)"};
        QTest::newRow("one pair") << "All Log Files(*.Log)|*.log"
                                  << QStringList{"All Log Files(*.Log) (*.log)"};
        QTest::newRow("description without patterns") << "Odd|" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void filtersInQtForm() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(QtNameFilters(filter.toStdString()), expected);
    }

    void defaultSuffix() {
        QCOMPARE(QtDefaultSuffix("*.TXT;*.C*;*.Bin"), QString("TXT"));
        QCOMPARE(QtDefaultSuffix("*.HEX*;*.Bin"), QString("Bin"));
        QCOMPARE(QtDefaultSuffix("*.log"), QString("log"));
        QCOMPARE(QtDefaultSuffix("*.*"), QString());
        QCOMPARE(QtDefaultSuffix(""), QString());
    }

    void decodesTheArtwork() {
        const QByteArray jpg = Asset("toolbar.jpg");
        QVERIFY(!jpg.isEmpty());
        const QImage im = DecodeJpeg(reinterpret_cast<const uint8_t *>(jpg.constData()), jpg.size());
        QCOMPARE(im.size(), QSize(240, 45));
        // The chip body at the left is dark, the sky around it light blue.
        QVERIFY(qGray(im.pixel(30, 22)) < 70);
        QVERIFY(qBlue(im.pixel(5, 40)) > 120);
    }

    void badJpegGivesANullImageAndTheProgramGoesOn() {
        const QByteArray jpg = Asset("toolbar.jpg");
        QVERIFY(jpg.size() > 400);
        const QByteArray garbage[] = {QByteArray("not a jpeg at all"), jpg.left(2),
                                      jpg.left(20) + QByteArray(600, '\x55')};
        for (const QByteArray &bad : garbage)
            QVERIFY(DecodeJpeg(reinterpret_cast<const uint8_t *>(bad.constData()), bad.size()).isNull());
        // A stream cut short is finished with grey by the decoder: still the whole picture.
        const QByteArray cut = jpg.left(jpg.size() / 2);
        QCOMPARE(DecodeJpeg(reinterpret_cast<const uint8_t *>(cut.constData()), cut.size()).size(),
                 QSize(240, 45));
        QVERIFY(DecodeJpeg(nullptr, 0).isNull());
    }

    void postedEventsRunInsideAModalBox() {
        QtEventQueue queue;
        QtDialogs dialogs(nullptr, "Pelmor200VLT Chip Programmer");
        int ran = 0;
        bool ranWhileOpen = false;
        NextModal modal([&] {
            // Posted from a worker thread while the box is open.
            std::thread t([&] { queue.Post([&] { ++ran; }); });
            t.join();
            QTRY_COMPARE(ran, 1);
            ranWhileOpen = QApplication::activeModalWidget() != nullptr;
        });
        dialogs.Error("Packet Error!");
        QVERIFY(ranWhileOpen);
        QCOMPARE(ran, 1);
    }

    void runnerWrapsEveryEvent() {
        QtEventQueue queue;
        QStringList log;
        queue.Runner = [&](const TEventQueue::Event &ev) {
            log << "before";
            ev();
            log << "after";
        };
        queue.Post([&] { log << "event"; });
        QTRY_COMPARE(log, (QStringList{"before", "event", "after"}));
    }

    // A burst from worker threads wakes the loop once and runs in order.
    void aBurstRunsInOrderOnOneRing() {
        QtEventQueue queue;
        RingCount rings(queue);
        std::vector<int> ran;
        std::thread t([&] {
            for (int i = 0; i < 50; ++i)
                queue.Post([&ran, i] { ran.push_back(i); });
        });
        t.join();
        QTRY_COMPARE(ran.size(), size_t(50));
        for (int i = 0; i < 50; ++i)
            QCOMPARE(ran[size_t(i)], i);
        QCOMPARE(rings.Count, 1);
    }

    // The queue goes idle between events: each event posted after the last
    // one ran rings again, from the main thread and from a worker alike.
    void eachPostAfterIdleRingsAgain() {
        QtEventQueue queue;
        RingCount rings(queue);
        int ran = 0;
        for (int round = 1; round <= 6; ++round) {
            if (round % 2)
                queue.Post([&] { ++ran; });
            else
                std::thread([&] { queue.Post([&] { ++ran; }); }).join();
            QTRY_VERIFY_WITH_TIMEOUT(ran == round, 3000);
            QCOMPARE(rings.Count, round);
        }
    }

    // An event that opens a modal loop: what waits behind it and what comes
    // meanwhile runs inside that loop, in order, not after it closes.
    void eventsRunInsideAModalLoopOpenedByAnEvent() {
        QtEventQueue queue;
        QStringList log;
        bool guardFired = false;
        QEventLoop *open = nullptr; // the modal loop while it runs
        queue.Post([&] {
            log << "opens";
            QEventLoop modal;
            QTimer::singleShot(10000, &modal, [&] {
                guardFired = true;
                modal.quit();
            });
            std::thread t([&] {
                queue.Post([&] {
                    log << "posted meanwhile";
                    if (open)
                        open->quit();
                });
            });
            t.join();
            open = &modal;
            modal.exec();
            open = nullptr;
            log << "closed";
        });
        queue.Post([&] { log << "waited behind"; });
        QTRY_COMPARE(log.size(), 4);
        QVERIFY(!guardFired);
        QCOMPARE(log, (QStringList{"opens", "waited behind", "posted meanwhile", "closed"}));
    }

    // A flood never keeps the loop from timers, input and paint: one ring
    // runs a bounded share and rings again for the rest.
    void aFloodYieldsToTheLoop() {
        QtEventQueue queue;
        int ran = 0;
        for (int i = 0; i < 200; ++i)
            queue.Post([&] { ++ran; });
        QCoreApplication::sendPostedEvents(&queue, QtEventQueue::RingType);
        QVERIFY2(ran > 0 && ran < 200, qPrintable(QString::number(ran)));
        QTRY_COMPARE(ran, 200);
    }

    // An event that fails leaves the ones behind it to run.
    void eventsBehindAFailedOneStillRun() {
        QtEventQueue queue;
        queue.Runner = [](const TEventQueue::Event &ev) { ev(); };
        bool second = false;
        queue.Post([] { throw std::runtime_error("failed"); });
        queue.Post([&] { second = true; });
        bool caught = false;
        try {
            QCoreApplication::sendPostedEvents(&queue, QtEventQueue::RingType);
        } catch (const std::runtime_error &) {
            caught = true;
        }
        QVERIFY(caught);
        QVERIFY(!second);
        QTRY_VERIFY(second);
    }

    void showModalRunsTheRegisteredViewAndClipboardTakesText() {
        QtDialogs dialogs(nullptr, "t");
        TForm form;
        bool showingInside = false;
        dialogs.RegisterForm(form, [&] { showingInside = form.Showing; });
        dialogs.ShowModal(form);
        QVERIFY(showingInside);
        QVERIFY(!form.Showing);
        dialogs.SetClipboardText("> 2026-12-07 line\r\n");
        QCOMPARE(QApplication::clipboard()->text(), QString("> 2026-12-07 line\r\n"));
    }

    void cancelledFileDialogAnswersNothing() {
        QtDialogs dialogs(nullptr, "t");
        TFileDialog dlg;
        dlg.Filter = "All Binary Files(*.BIN)|*.BIN";
        dlg.FileName = "/tmp/previous.bin";
        NextModal modal;
        QCOMPARE(dialogs.SaveFile(dlg), std::optional<std::string>());
        QVERIFY(modal.Came);
        QCOMPARE(dlg.FileName, std::string("/tmp/previous.bin"));
    }
};

QTEST_MAIN(QtCommonTest)
#include "QtCommonTest.moc"
