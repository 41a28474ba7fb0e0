// Loaded into the programs under test (QT_QPA_GENERIC_PLUGINS): a thread that
// the toolkit starts while the application is made, as its connection to a
// real display does. Offscreen it starts none, so a program that blocked its
// end signals only after making the application would pass every test;
// with this thread there, a signal can land in it and end the program at once.
#include <QGenericPlugin>
#include <thread>
#include <unistd.h>

class DisplayThreadPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "DisplayThreadPlugin.json")

public:
    QObject *create(const QString &, const QString &) override {
        // Waits as an event reader does, for as long as the program runs.
        std::thread([] {
            for (;;)
                pause();
        }).detach();
        return new QObject; // the toolkit keeps it, and warns when there is none
    }
};

#include "DisplayThreadPlugin.moc"
