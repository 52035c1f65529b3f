#pragma once
// The program's pictures: SVG files in the resources, rendered at the size and
// device pixel ratio they are shown at, so they stay crisp at any scale.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

namespace zarvoni {

QIcon svgIcon(const char *resource);

QPixmap pictureAt(const QIcon &icon, int size, qreal devicePixelRatio);

// A mouse pointer of 32 x 32 device-independent pixels.
QCursor svgCursor(const char *resource, QPoint hotSpot, qreal devicePixelRatio);

} // namespace zarvoni
