// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines a record file holds: the score or the name, in Windows-1252, ended by
// CR LF; and a pair of them in one file, as the pending pair, a score kept for
// later and a computer's pair in a lab folder hold them.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace zarvoni::records {

// No record file written by the game comes near this size; of a larger file only
// this much is read.
constexpr qint64 kMaxRecordFileBytes = qint64{64} * 1024;
// A file that holds a pair holds two record lines; one byte more tells a longer file.
constexpr qint64 kMaxPairBytes = 2 * kMaxRecordFileBytes;

// The one line a record file holds for text, the same for the game and the
// record keeper. A line feed becomes a blank, which the number rule skips as it
// skipped the line feed, and which reads naturally in a name. A carriage return,
// any other control character (C0, DEL or C1, in Unicode or as the UTF-8 bytes of
// one) and a character Windows-1252 lacks become "?", which ends a number where
// the carriage return ended it.
QByteArray recordLine(QStringView text);

struct PairLines {
    QByteArray score;
    QByteArray name;
};

// The two lines of a file that holds a pair as a store writes it whole (the score
// line, then the name line); nothing otherwise, a file cut anywhere included.
std::optional<PairLines> pairLines(QByteArrayView bytes);

} // namespace zarvoni::records
