// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the record files on the disk that holds TMPDIR: storing a
// record that beats the old one, and reading the pair as start-up does.

#include "records/posixfilesystem.h"
#include "records/recordfiles.h"
#include "spread.h"

#include <QTemporaryDir>

namespace zarvoni::bench {

namespace {

using records::RecordFiles;

struct RecordDirectory {
    RecordDirectory() { files.prepare(); }

    QTemporaryDir dir;
    records::PosixFileSystem fileSystem;
    RecordFiles files{records::withTrailingSeparator(dir.path()), fileSystem};
};

// One store that beats the record: the lock, the pending file, both files, and
// every flush and rename on the way.
void storeRecord(benchmark::State &state) {
    RecordDirectory records;
    int score = 0;
    for (auto _ : state) {
        const records::StoreResult result =
            records.files.store(QString::number(++score), QStringLiteral("Anna"));
        if (result.outcome != records::StoreResult::Outcome::Stored) {
            state.SkipWithError("the better score was not stored");
            break;
        }
    }
}

// Reading the pair at start-up: the shared lock and both files.
void readRecord(benchmark::State &state) {
    RecordDirectory records;
    records.files.store(QStringLiteral("12"), QStringLiteral("Anna"));
    for (auto _ : state) {
        const records::ReadResult record = records.files.read();
        if (!record.ok() || record.pair.name != u"Anna\r\n") {
            state.SkipWithError("the pair was not read");
            break;
        }
    }
}

} // namespace

BENCHMARK(storeRecord)->Apply(withSpread);
BENCHMARK(readRecord)->Apply(withSpread);

} // namespace zarvoni::bench
