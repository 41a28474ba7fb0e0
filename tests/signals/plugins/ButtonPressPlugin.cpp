// Loaded into the programs under test (QT_QPA_GENERIC_PLUGINS): presses, once,
// the button whose caption PELMOR_PRESS_BUTTON names as soon as it can be
// pressed, as an operator would. Offscreen no input reaches the window from
// outside, and some boxes come only from an operation the operator started.
#include <QAbstractButton>
#include <QApplication>
#include <QGenericPlugin>
#include <QTimer>

namespace {

class ButtonPress : public QObject {
public:
    explicit ButtonPress(QString caption) : Caption(std::move(caption)) {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timer] {
            for (QWidget *w : QApplication::allWidgets()) {
                auto *b = qobject_cast<QAbstractButton *>(w);
                if (b && b->text() == Caption && b->isEnabled() && b->isVisible()) {
                    timer->stop();
                    b->click();
                    return;
                }
            }
        });
        timer->start(20);
    }

private:
    QString Caption;
};

} // namespace

class ButtonPressPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ButtonPressPlugin.json")

public:
    QObject *create(const QString &, const QString &) override {
        const QByteArray caption = qgetenv("PELMOR_PRESS_BUTTON");
        return caption.isEmpty() ? nullptr : new ButtonPress(QString::fromUtf8(caption));
    }
};

#include "ButtonPressPlugin.moc"
