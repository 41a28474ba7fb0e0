#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>
#include <thread>

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
