#include "fwupgrade/qt/ApplicationTitle.h"

#include <QCoreApplication>

namespace fwug {

QString ApplicationTitle() {
    return QStringLiteral("Pelmor200ENX Firmware Upgrade");
}

void SetUpApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("PelmorFwUpgrade"));
}

} // namespace fwug
