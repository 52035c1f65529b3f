// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One line of a results list, as it is kept on disk: tab-separated fields in
// UTF-8, a version tag first and a checksum last, so that a line cut by a kill or
// a power cut, or changed by hand, is told apart from a whole one.
//
//   Z1 TAB when TAB computer TAB name TAB correct TAB wrong TAB total TAB record
//      TAB ending TAB account TAB crc32 LF
//
// when: "2026-12-09T10:15:03+01:00", the local time and its offset from UTC;
// record: 1 or 0; ending: tempo, uscita or nuova; crc32: eight lower-case hex
// digits of the CRC-32 of everything before the tab that precedes it. In the
// three texts "%", tab, CR, LF and every other byte below 0x20, and DEL, are
// written as "%" and two hex digits.

#include "records/resultslist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>
#include <variant>

namespace zarvoni::records {

struct ResultLine {
    QDateTime when; // with its offset from UTC
    QString computer;
    GameEnd game;
    QString account; // empty unless the technician turned it on
};

// The shortest line encodeResultLine writes, line feed included: a list holds no
// more lines than its bytes divided by this.
constexpr qsizetype kShortestResultLine = 55;

// The name as a line keeps it: cut to what a record file holds.
QString resultName(const QString &name);

// The token of an ending in a line and in the keeper's request.
QByteArray endingToken(GameEnding ending);
std::optional<GameEnding> endingOf(QByteArrayView token);

// The time of a line: now, to the second, with its offset from UTC.
QDateTime resultTime(const QDateTime &local);

// The line, ended by a line feed.
QByteArray encodeResultLine(const ResultLine &line);

// The line (without its line feed), or why it is not one, in Italian.
std::variant<ResultLine, QString> decodeResultLine(QByteArrayView bytes);

} // namespace zarvoni::records
