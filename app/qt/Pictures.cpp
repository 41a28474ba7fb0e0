#include "app/qt/Pictures.h"

#include <QFile>

#include "forms/qt/JpegImage.h"

QPixmap Picture(const std::string &name) {
    // The pictures live in a static library: its resources are registered by hand.
    Q_INIT_RESOURCE(artwork);
    QFile f(":/artwork/" + QString::fromStdString(name) + ".jpg");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    return QPixmap::fromImage(DecodeJpeg(reinterpret_cast<const uint8_t *>(data.constData()), data.size()));
}
