// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordlines.h"

#include "records/codepage.h"

namespace zarvoni::records {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// A control character that a pasted name may bring along would make the line
// hard to read, or end it early; printed in a terminal, it may act on it.
bool isControl(QChar character) {
    const char16_t code = character.unicode();
    return (code < 0x20 && code != u'\t') || (code >= 0x7F && code <= 0x9F);
}

// A terminal that reads the file as UTF-8 takes the bytes C2 80 to C2 9F for
// the control characters U+0080 to U+009F, which Windows-1252 spells as
// "Â€" to "ÂŸ".
bool isUtf8Control(QByteArrayView bytes, qsizetype at) {
    const auto value = static_cast<unsigned char>(bytes[at]);
    return at > 0 && static_cast<unsigned char>(bytes[at - 1]) == 0xC2 && value >= 0x80 &&
           value <= 0x9F;
}

// One line as a store writes it: at most a record file's size, ended by CR LF,
// with no other CR or LF.
bool isRecordLine(QByteArrayView line) {
    if (line.size() < kLineEnd.size() || line.size() > kMaxRecordFileBytes ||
        !line.endsWith(kLineEnd))
        return false;
    const QByteArrayView body = line.chopped(kLineEnd.size());
    return !body.contains('\r') && !body.contains('\n');
}

} // namespace

QByteArray recordLine(QStringView text) {
    QString line = text.toString();
    for (QChar &character : line) {
        if (character == u'\n')
            character = u' ';
        else if (isControl(character))
            character = u'?';
    }
    QByteArray bytes = toWindows1252(line);
    for (qsizetype at = 1; at < bytes.size(); ++at) {
        if (isUtf8Control(bytes, at))
            bytes[at] = '?';
    }
    return bytes + kLineEnd;
}

std::optional<PairLines> pairLines(QByteArrayView bytes) {
    const qsizetype firstEnd = bytes.indexOf(kLineEnd);
    if (firstEnd < 0)
        return std::nullopt;
    const QByteArrayView score = bytes.first(firstEnd + kLineEnd.size());
    const QByteArrayView name = bytes.sliced(firstEnd + kLineEnd.size());
    if (!isRecordLine(score) || !isRecordLine(name))
        return std::nullopt;
    return PairLines{score.toByteArray(), name.toByteArray()};
}

} // namespace zarvoni::records
