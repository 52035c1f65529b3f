// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/resultsheet.h"

#include "sheet/sheetcells.h"

#include <algorithm>
#include <array>

namespace zarvoni::sheet {

namespace {

using records::GameEnding;

const QString kHeader = QStringLiteral("Data e ora;Fuso orario;Computer;Nome;Esatte;Errate;"
                                       "Totali;Record;Fine;Utente");
const QString kYes = QStringLiteral("sì");
const QString kNo = QStringLiteral("no");
const QString kTimeUp = QStringLiteral("tempo scaduto");
const QString kExit = QStringLiteral("uscita");
const QString kNewGame = QStringLiteral("nuova partita");
const QString kNotEnded = QStringLiteral("la riga non è finita (tagliata, o scritta proprio ora)");
const QString kWhere = QStringLiteral("%1: riga %2: %3");
constexpr QByteArrayView kByteOrderMark = "\xEF\xBB\xBF";

const QString &endingText(GameEnding ending) {
    switch (ending) {
    case GameEnding::TimeUp:
        return kTimeUp;
    case GameEnding::NewGame:
        return kNewGame;
    case GameEnding::Exit:
        break;
    }
    return kExit;
}

// A count of width digits, with leading zeros: a sheet writes a few million.
void appendNumber(QByteArray &row, int value, int width) {
    std::array<char, 4> digits{};
    for (int i = width - 1; i >= 0; --i) {
        digits[std::size_t(i)] = char('0' + value % 10);
        value /= 10;
    }
    row.append(digits.data(), width);
}

// "2026-12-09 10:15:03", which Calc and an Italian Excel both read as a date and
// a time, and "UTC+01:00" beside it.
void appendTime(QByteArray &row, const QDateTime &when) {
    const QDate day = when.date();
    const QTime time = when.time();
    appendNumber(row, day.year(), 4);
    row += '-';
    appendNumber(row, day.month(), 2);
    row += '-';
    appendNumber(row, day.day(), 2);
    row += ' ';
    appendNumber(row, time.hour(), 2);
    row += ':';
    appendNumber(row, time.minute(), 2);
    row += ':';
    appendNumber(row, time.second(), 2);
    const int offset = when.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    row += ";\"UTC";
    row += offset < 0 ? '-' : '+';
    appendNumber(row, minutes / 60, 2);
    row += ':';
    appendNumber(row, minutes % 60, 2);
    row += '"';
}

} // namespace

void ResultSheet::add(const records::ResultSegment &segment) {
    const QByteArray &bytes = segment.bytes;
    qsizetype start = 0;
    int number = 0;
    while (start < bytes.size()) {
        ++number;
        const qsizetype end = bytes.indexOf('\n', start);
        const QByteArrayView line =
            QByteArrayView(bytes).sliced(start, (end < 0 ? bytes.size() : end) - start);
        start = end < 0 ? bytes.size() : end + 1;
        if (line.isEmpty())
            continue; // a line feed that starts a line after a cut one
        if (end < 0) {
            m_problems.append(kWhere.arg(segment.path).arg(number).arg(kNotEnded));
            break;
        }
        auto decoded = records::decodeResultLine(line);
        if (auto *whole = std::get_if<records::ResultLine>(&decoded))
            m_lines.push_back(std::move(*whole));
        else
            m_problems.append(kWhere.arg(segment.path).arg(number).arg(std::get<QString>(decoded)));
    }
}

QByteArray ResultSheet::csv(QDate first, QDate last) const {
    // Each line with its moment, so that lines of different offsets sort as they happened.
    std::vector<std::pair<qint64, const records::ResultLine *>> rows;
    rows.reserve(m_lines.size());
    for (const records::ResultLine &line : m_lines) {
        const QDate day = line.when.date();
        if ((!first.isValid() || day >= first) && (!last.isValid() || day <= last))
            rows.emplace_back(line.when.toSecsSinceEpoch(), &line);
    }
    std::ranges::stable_sort(rows, {}, [](const auto &row) { return row.first; });
    QByteArray sheet = kByteOrderMark.toByteArray() + kHeader.toUtf8() + "\r\n";
    sheet.reserve(sheet.size() + qsizetype(rows.size()) * 96);
    for (const auto &[moment, line] : rows) {
        const records::GameEnd &game = line->game;
        appendTime(sheet, line->when);
        for (const QString &text : {line->computer, game.name}) {
            sheet += ';';
            appendTextCell(sheet, text);
        }
        for (const int count : {game.correct, game.wrong, game.total}) {
            sheet += ';';
            sheet += QByteArray::number(count);
        }
        for (const QString &text :
             {game.record ? kYes : kNo, endingText(game.ending), line->account}) {
            sheet += ';';
            appendTextCell(sheet, text);
        }
        sheet += "\r\n";
    }
    return sheet;
}

} // namespace zarvoni::sheet
