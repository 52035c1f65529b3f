// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures for a Qt without an SVG renderer: the build renders each SVG file on the
// build machine at every pixel size the window shows it at, for each scale factor
// it supports, into ":/images/NAME/SIZE.png". An icon holding all of them hands out
// the exact one for each size and ratio, so no picture is ever scaled.
#include "app/images.h"

#include <QDir>

namespace zarvoni {

QIcon svgIcon(const char *resource) {
    QString directory = QString::fromLatin1(resource);
    directory.chop(QStringLiteral(".svg").size());
    QIcon icon;
    const QDir pictures(directory, QStringLiteral("*.png"), QDir::Name, QDir::Files);
    for (const QString &file : pictures.entryList()) {
        bool isSize = false;
        const int size = QStringView(file).chopped(QStringLiteral(".png").size()).toInt(&isSize);
        if (isSize)
            icon.addFile(pictures.filePath(file), QSize(size, size));
    }
    return icon;
}

} // namespace zarvoni
