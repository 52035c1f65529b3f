// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/images.h"

#include <QGuiApplication>
#include <QWidget>

namespace zarvoni {

namespace {
constexpr int kCursorSize = 32;
}

QImage widgetCanvas(const QWidget &widget) {
    const qreal ratio = widget.devicePixelRatioF();
    QImage canvas((QSizeF(widget.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(ratio);
    // The same dots per inch as the widget, so that a font has the same pixel size.
    constexpr double kInchesPerMetre = 100 / 2.54;
    canvas.setDotsPerMeterX(qRound(widget.logicalDpiX() * kInchesPerMetre));
    canvas.setDotsPerMeterY(qRound(widget.logicalDpiY() * kInchesPerMetre));
    canvas.fill(Qt::transparent);
    return canvas;
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
