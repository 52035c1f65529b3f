// SPDX-License-Identifier: GPL-3.0-or-later
// Renders an SVG file into a square PNG of the given size, at build time. It uses
// the renderer the game draws its pictures with, so the menu icon matches the
// window icon, and needs no display.
//
// Usage: zarvoni_svgtopng INPUT.svg OUTPUT.png SIZE

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The SVG's text needs the font database, which needs a GUI application.
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    bool sizeOk = false;
    const int size = args.size() == 4 ? args.at(3).toInt(&sizeOk) : 0;
    if (!sizeOk || size <= 0) {
        std::fputs("usage: zarvoni_svgtopng INPUT.svg OUTPUT.png SIZE\n", stderr);
        return 2;
    }

    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "zarvoni_svgtopng: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    if (!image.save(args.at(2), "PNG")) {
        std::fprintf(stderr, "zarvoni_svgtopng: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
