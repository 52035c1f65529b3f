// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/legacyrecords.h"

#include "game/numberrules.h"
#include "records/codepage.h"
#include "records/recordfiles.h"

#include <cerrno>
#include <utility>

namespace zarvoni::records {

namespace {

using Outcome = StoreResult::Outcome;

bool holdsNothing(const ReadResult &record) {
    return record.ok() && record.pair.score.isEmpty() && record.pair.name.isEmpty();
}

// The text a store is given for a line it writes: the line without its end.
QString withoutLineEnd(QString line) {
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    return line;
}

} // namespace

LegacyRecords::LegacyRecords(InProcessRecords &current, const QString &legacyDirectory,
                             FileSystem &fileSystem)
    : m_current(current),
      m_legacyDirectory(legacyDirectory.isEmpty() ? QString()
                                                  : withTrailingSeparator(legacyDirectory)),
      m_fileSystem(fileSystem) {}

ReadResult LegacyRecords::read() {
    ReadResult record = m_current.read();
    if (holdsNothing(record)) {
        if (std::optional<RecordPair> earlier = legacyPair())
            record.pair = *std::move(earlier);
    }
    return record;
}

StoreResult LegacyRecords::store(const QString &score, const QString &name) {
    if (holdsNothing(m_current.read())) {
        if (const std::optional<RecordPair> earlier = legacyPair()) {
            // Moved, not compared: beside the empty pair, whose score reads as 0,
            // an earlier 0 or -1 would never move, and a pupil who beat it would be
            // told that another game had.
            StoreResult moved =
                m_current.adopt(withoutLineEnd(earlier->score), withoutLineEnd(earlier->name));
            if (moved.outcome == Outcome::Failed || moved.outcome == Outcome::Busy) {
                // Nothing changed: only a score that beats the earlier record makes
                // the failure worth telling.
                if (leadingNumber(score) <= leadingNumber(earlier->score))
                    return {Outcome::NotBetter, {}};
                return moved;
            }
        }
    }
    return m_current.store(score, name);
}

std::optional<RecordPair> LegacyRecords::legacyPair() {
    if (m_legacyDirectory.isEmpty())
        return std::nullopt;
    RecordPair pair;
    for (const auto &[fileName, text] :
         {std::pair{kScoreFile, &pair.score}, std::pair{kNameFile, &pair.name}}) {
        QByteArray bytes;
        const FileProblem problem =
            m_fileSystem.readBeginning(m_legacyDirectory + fileName, kMaxRecordFileBytes, bytes);
        if (problem.isSystem(ENOENT))
            continue;
        // Never a name without its score: an earlier pair that cannot be read whole
        // is not shown, and the record directory's own empty pair stands.
        if (problem.isProblem())
            return std::nullopt;
        *text = fromWindows1252(bytes);
    }
    if (pair.score.isEmpty() && pair.name.isEmpty())
        return std::nullopt;
    return pair;
}

} // namespace zarvoni::records
