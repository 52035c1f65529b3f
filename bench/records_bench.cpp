// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the record files on the disk that holds TMPDIR: storing a
// record that beats the old one, and reading the pair as start-up does; then
// both through the record keeper of this build, as the installed game does,
// in the record directory of this build.

#include "keeper/client.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"
#include "spread.h"

#include <QDir>
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

// Reading the pair at start-up, without a lock: both files, their identities before and after.
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

// The keeper of this build, on the record directory it was built for, emptied
// first: the keeper refuses scores beyond 32767.
struct KeeperDirectory {
    KeeperDirectory() {
        QDir records(QStringLiteral(ZARVONI_RECORD_DIR));
        for (const QString &name : records.entryList(QDir::Files | QDir::Hidden))
            records.remove(name);
    }
    keeper::KeeperRecords keeper{QStringLiteral(ZARVONI_KEEPER),
                                 QStringLiteral(ZARVONI_RECORD_DIR)};
};

// A keeper started, storing a better score, and its answer read.
void storeThroughKeeper(benchmark::State &state) {
    KeeperDirectory records;
    int score = 0;
    for (auto _ : state) {
        const records::StoreResult result =
            records.keeper.store(QString::number(++score), QStringLiteral("Anna"));
        if (result.outcome != records::StoreResult::Outcome::Stored) {
            state.SkipWithError("the better score was not stored through the keeper");
            break;
        }
    }
}

// A keeper started, reading the pair, and its answer read.
void readThroughKeeper(benchmark::State &state) {
    KeeperDirectory records;
    records.keeper.store(QStringLiteral("12"), QStringLiteral("Anna"));
    for (auto _ : state) {
        const records::ReadResult record = records.keeper.read();
        if (!record.ok() || record.pair.name != u"Anna\r\n") {
            state.SkipWithError("the pair was not read through the keeper");
            break;
        }
    }
}

} // namespace

BENCHMARK(storeRecord)->Apply(withSpread);
BENCHMARK(readRecord)->Apply(withSpread);
BENCHMARK(storeThroughKeeper)->Apply(withSpread);
BENCHMARK(readThroughKeeper)->Apply(withSpread);

} // namespace zarvoni::bench
