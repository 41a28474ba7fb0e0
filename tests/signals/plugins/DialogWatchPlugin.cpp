// Loaded into the programs under test (QT_QPA_GENERIC_PLUGINS): tells the
// test which dialogs the program shows, so that it can act while one is
// open. Each dialog that shows appends "<title>\t<text>\n" (the text of a
// message box, empty for other dialogs, its line breaks as 0x1F) to the file
// PELMOR_DIALOG_WATCH names.
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGenericPlugin>
#include <QMessageBox>
#include <fcntl.h>
#include <unistd.h>

namespace {

class DialogWatch : public QObject {
public:
    explicit DialogWatch(QByteArray file) : File(std::move(file)) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() != QEvent::Show || !o->isWidgetType())
            return false;
        const auto *d = qobject_cast<const QDialog *>(o);
        if (!d || !d->isWindow())
            return false;
        QString text;
        if (const auto *box = qobject_cast<const QMessageBox *>(d))
            text = box->text().replace(QChar('\n'), QChar(0x1F));
        const QByteArray line = (d->windowTitle() + "\t" + text + "\n").toUtf8();
        const int fd = ::open(File.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            (void)!::write(fd, line.constData(), static_cast<size_t>(line.size()));
            ::close(fd);
        }
        return false;
    }

private:
    QByteArray File;
};

} // namespace

class DialogWatchPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "DialogWatchPlugin.json")

public:
    QObject *create(const QString &, const QString &) override {
        const QByteArray file = qgetenv("PELMOR_DIALOG_WATCH");
        return file.isEmpty() ? nullptr : new DialogWatch(file);
    }
};

#include "DialogWatchPlugin.moc"
