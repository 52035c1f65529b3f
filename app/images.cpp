#include "app/images.h"

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
    return QCursor(pictureAt(svgIcon(resource), kCursorSize, devicePixelRatio), hotSpot.x(),
                   hotSpot.y());
}

} // namespace zarvoni
