// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/sheetcells.h"

#include <algorithm>

namespace zarvoni::sheet {

namespace {

bool isControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// What Excel and Calc read as the start of a formula; a tab or a carriage return
// before one is skipped by some of them.
bool startsLikeAFormula(const QString &text) {
    if (text.isEmpty())
        return false;
    const char16_t first = text.front().unicode();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}

} // namespace

QString cellText(const QString &text) {
    const bool formula = startsLikeAFormula(text);
    qsizetype keep = kMaxCellCharacters - (formula ? 1 : 0);
    if (text.size() > keep && text.at(keep - 1).isHighSurrogate())
        --keep;
    QString shown = text.left(keep);
    for (QChar &c : shown) {
        if (isControl(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return formula ? u'\'' + shown : shown;
}

void appendTextCell(QByteArray &row, const QString &text) {
    // Most names need nothing but their quotes.
    const bool plain =
        text.size() <= kMaxCellCharacters && !startsLikeAFormula(text) &&
        std::ranges::none_of(text, [](QChar c) { return isControl(c.unicode()) || c == u'"'; });
    row += '"';
    if (plain) {
        row += text.toUtf8();
    } else {
        QByteArray cell = cellText(text).toUtf8();
        row += cell.replace('"', "\"\"");
    }
    row += '"';
}

} // namespace zarvoni::sheet
