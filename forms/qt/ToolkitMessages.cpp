#include "forms/qt/ToolkitMessages.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <unistd.h>

#include "platform/ErrorStream.h"

namespace {

void WriteMessage(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    const QByteArray line = (qFormatLogMessage(type, context, message) + '\n').toLocal8Bit();
    WriteWithoutWaiting(STDERR_FILENO, {line.constData(), static_cast<size_t>(line.size())});
}

} // namespace

void SendToolkitMessagesWithoutWaiting() {
    qInstallMessageHandler(WriteMessage);
}
