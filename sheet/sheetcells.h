// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cells of a sheet that LibreOffice Calc and Excel open by a double click:
// ";" between cells, CR LF after each row, every text quoted. A text never
// becomes a formula, never breaks its row and never goes past what a cell holds.

#include <QByteArray>
#include <QString>

namespace zarvoni::sheet {

// What Excel holds in a cell at most, in characters.
constexpr qsizetype kMaxCellCharacters = 32767;

// A text as its cell shows it: every control character (C0, DEL, C1) as U+FFFD,
// cut to what a cell holds, and, where it begins as a formula would (=, +, -, @,
// a tab or a carriage return), after an apostrophe.
QString cellText(const QString &text);

// Appends the cell of a text to a row: cellText in double quotes, its own quotes
// doubled, UTF-8.
void appendTextCell(QByteArray &row, const QString &text);

} // namespace zarvoni::sheet
