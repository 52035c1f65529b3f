// SPDX-License-Identifier: GPL-3.0-or-later
// Renders an SVG file into square PNG pictures, at build time. It uses the renderer
// the game draws its pictures with on Linux, so the menu icon matches the window
// icon, and the pictures of a build without Qt SVG match those of a build with it.
// It needs no display.
//
// Usage: zarvoni_svgtopng INPUT.svg OUTPUT.png SIZE       one picture
//        zarvoni_svgtopng INPUT.svg OUTPUT.ico SIZE...    a Windows icon holding each size
//        zarvoni_svgtopng INPUT.svg DIRECTORY SIZE...     DIRECTORY/SIZE.png for each size

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr char kUsage[] = "usage: zarvoni_svgtopng INPUT.svg OUTPUT.png SIZE\n"
                          "       zarvoni_svgtopng INPUT.svg OUTPUT.ico SIZE...\n"
                          "       zarvoni_svgtopng INPUT.svg DIRECTORY SIZE...\n";
// An icon file's entry holds its width and height in a byte each, 0 standing for 256.
constexpr int kLargestIconSize = 256;

QByteArray render(QSvgRenderer &renderer, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

void appendLittleEndian16(QByteArray &bytes, quint16 value) {
    char field[2];
    qToLittleEndian(value, field);
    bytes.append(field, sizeof field);
}

void appendLittleEndian32(QByteArray &bytes, quint32 value) {
    char field[4];
    qToLittleEndian(value, field);
    bytes.append(field, sizeof field);
}

// An icon file whose entries each hold a PNG picture, as every Windows since Vista
// reads them: a 6-byte header, a 16-byte entry per picture, then the pictures.
QByteArray iconFile(const std::vector<std::pair<int, QByteArray>> &pictures) {
    constexpr int kHeaderSize = 6;
    constexpr int kEntrySize = 16;
    QByteArray icon;
    appendLittleEndian16(icon, 0); // reserved
    appendLittleEndian16(icon, 1); // an icon, not a cursor
    appendLittleEndian16(icon, quint16(pictures.size()));
    quint32 offset = kHeaderSize + kEntrySize * quint32(pictures.size());
    for (const auto &[size, png] : pictures) {
        const char side = char(size == kLargestIconSize ? 0 : size);
        icon.append(side).append(side);
        icon.append(char(0)).append(char(0)); // no palette, reserved
        appendLittleEndian16(icon, 1);        // colour planes
        appendLittleEndian16(icon, 32);       // bits per pixel
        appendLittleEndian32(icon, quint32(png.size()));
        appendLittleEndian32(icon, offset);
        offset += quint32(png.size());
    }
    for (const auto &picture : pictures)
        icon.append(picture.second);
    return icon;
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The SVG's text needs the font database, which needs a GUI application.
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const QString output = args.at(2);
    const bool toIcon = output.endsWith(QStringLiteral(".ico"));
    const bool toPng = output.endsWith(QStringLiteral(".png"));
    std::vector<int> sizes;
    for (qsizetype i = 3; i < args.size(); ++i) {
        bool sizeOk = false;
        const int size = args.at(i).toInt(&sizeOk);
        if (!sizeOk || size <= 0 || (toIcon && size > kLargestIconSize)) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        sizes.push_back(size);
    }
    if (toPng && sizes.size() != 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "zarvoni_svgtopng: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    std::vector<std::pair<int, QByteArray>> pictures(sizes.size());
    std::ranges::transform(sizes, pictures.begin(), [&renderer](int size) {
        return std::pair{size, render(renderer, size)};
    });

    bool written = true;
    if (toIcon) {
        written = writeFile(output, iconFile(pictures));
    } else if (toPng) {
        written = writeFile(output, pictures.front().second);
    } else {
        const QDir directory(output);
        written = directory.mkpath(QStringLiteral("."));
        for (const auto &[size, png] : pictures)
            written =
                written && writeFile(directory.filePath(QStringLiteral("%1.png").arg(size)), png);
    }
    if (!written) {
        std::fprintf(stderr, "zarvoni_svgtopng: cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
