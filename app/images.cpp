#include "app/images.h"

#include <QGuiApplication>

namespace zarvoni {

namespace {
constexpr int kCursorSize = 32;
}

QIcon svgIcon(const char *resource) {
    return QIcon(QString::fromLatin1(resource));
}

QPixmap pictureAt(const QIcon &icon, int size, qreal devicePixelRatio) {
    return icon.pixmap(QSize(size, size), devicePixelRatio);
}

QCursor svgCursor(const char *resource, QPoint hotSpot, qreal devicePixelRatio) {
    const QPixmap picture = pictureAt(svgIcon(resource), kCursorSize, devicePixelRatio);
    const QPoint spot =
        cursorHotSpot(hotSpot, picture.devicePixelRatio(), QGuiApplication::platformName());
    return QCursor(picture, spot.x(), spot.y());
}

QPoint cursorHotSpot(QPoint hotSpot, qreal devicePixelRatio, QStringView platform) {
    if (platform == u"xcb")
        return (QPointF(hotSpot) * devicePixelRatio).toPoint();
    return hotSpot;
}

} // namespace zarvoni
