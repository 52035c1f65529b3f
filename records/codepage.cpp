// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/codepage.h"

#include <QList>

#include <array>

namespace zarvoni::records {

namespace {

// Characters of the bytes 0x80 to 0x9F; the rest of the code page matches
// Unicode byte for byte.
constexpr std::array<char16_t, 32> kHighControls = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

char byteFor(uint codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

QString fromWindows1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        text += value >= 0x80 && value <= 0x9F ? QChar(kHighControls[value - 0x80])
                                               : QChar(char16_t{value});
    }
    return text;
}

QByteArray toWindows1252(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const uint codePoint : text.toUcs4())
        bytes += byteFor(codePoint);
    return bytes;
}

} // namespace zarvoni::records
