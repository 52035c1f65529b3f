// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the record files' tests share on every system: a record directory of their
// own with the pair in it, and the tables that have rows only some systems can
// make (a FIFO, a symbolic link), whose rows each test file adds for its system.

#include "records/faultyfilesystem.h"
#include "records/recordfiles.h"

#include <QDir>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

namespace zarvoni::records {

class RecordFilesTest : public ::testing::Test {
protected:
    testing::TestRecords t;
    RecordFiles files{withTrailingSeparator(t.recordDir.path()), t.fileSystem};

    void expectPair(const QByteArray &score, const QByteArray &name) const {
        EXPECT_EQ(t.bytesOf(kScoreFile), score);
        EXPECT_EQ(t.bytesOf(kNameFile), name);
    }
    void storeOldPair() {
        t.write(kScoreFile, "5\r\n");
        t.write(kNameFile, "Bruno\r\n");
    }
    // Leaves no temporary or pending file beside the pair, the lock and the
    // files a test put there.
    void expectNoLeftovers(const QStringList &others = {}) const {
        const QStringList names =
            QDir(t.recordDir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            EXPECT_TRUE(name == kScoreFile || name == kNameFile || name == kLockFile ||
                        name == kKeptLock || others.contains(name))
                << name.toStdString();
    }
    // A file of the record directory, or the directory itself, as messages name it.
    QString shown(const QString &fileName = {}) const {
        return QDir::toNativeSeparators(fileName.isEmpty() ? t.recordDir.path() : t.path(fileName));
    }
};

struct BadEntry {
    const char *label;
    std::function<void(const QString &path)> make;
    const char16_t *reason;
    bool replaceable; // a store renames its new file over it
};

inline void PrintTo(const BadEntry &b, std::ostream *os) {
    *os << b.label;
}

class BadRecordFile : public RecordFilesTest, public ::testing::WithParamInterface<BadEntry> {};

struct DamagedPending {
    const char *label;
    std::function<void(const testing::TestRecords &t)> make;
};

inline void PrintTo(const DamagedPending &d, std::ostream *os) {
    *os << d.label;
}

class DamagedPendingFile : public RecordFilesTest,
                           public ::testing::WithParamInterface<DamagedPending> {};

} // namespace zarvoni::records
