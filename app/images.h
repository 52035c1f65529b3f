// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's pictures: SVG files in the resources, rendered at the size and
// device pixel ratio they are shown at, so they stay crisp at any scale. Where Qt
// has no SVG renderer (the Windows build), the build renders each picture at every
// size it is shown at instead, and the icon is made of those (see app/CMakeLists.txt).

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QStringView>

class QWidget;

namespace zarvoni {

// The picture of an SVG file in the resources, such as ":/images/zarvoni.svg".
QIcon svgIcon(const char *resource);

// A transparent image of the widget's size, at its device pixel ratio and dots per
// inch, so that what is drawn into it matches what the widget would draw itself.
QImage widgetCanvas(const QWidget &widget);

QPixmap pictureAt(const QIcon &icon, int size, qreal devicePixelRatio);

// A mouse pointer of 32 x 32 device-independent pixels; the hot spot is in those
// pixels too.
QCursor svgCursor(const char *resource, QPoint hotSpot, qreal devicePixelRatio);

// The hot spot to hand to QCursor on the given platform for a picture rendered at
// devicePixelRatio. Qt's xcb platform passes it to the X server unchanged, in the
// pixels of the rendered picture; the others take device-independent pixels.
QPoint cursorHotSpot(QPoint hotSpot, qreal devicePixelRatio, QStringView platform);

} // namespace zarvoni
