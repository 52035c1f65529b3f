// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures drawn from the SVG files themselves, by Qt SVG's icon engine, at whatever
// size and device pixel ratio they are asked for.
#include "app/images.h"

namespace zarvoni {

QIcon svgIcon(const char *resource) {
    return QIcon(QString::fromLatin1(resource));
}

} // namespace zarvoni
