// libFuzzer target: any bytes as a Windows metafile, played onto a small
// image (directly and recorded as a picture) after reading its header.
#include "labelobjects/wmf.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Text needs the font database, hence an application (without a screen).
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    qb::WmfHeader header;
    if (!qb::ReadWmfHeader(bytes, &header))
        return 0;
    QImage image(48, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        qb::PlayWmf(painter, bytes, QRectF(2, 2, 44, 28));
    }
    const QPicture picture = qb::WmfToPicture(bytes);
    if (!picture.isNull()) {
        QPainter painter(&image);
        painter.drawPicture(0, 0, picture);
    }
    return 0;
}
