// SPDX-License-Identifier: GPL-3.0-or-later
// The class's results: a line that tells a whole line from a cut or changed one,
// a computer's list that stays bounded, and where a computer's lines go.
#include "records/classresults.h"
#include "records/computer.h"
#include "records/faultyfilesystem.h"
#include "records/labrecords.h"
#include "records/machineresults.h"
#include "records/recordlines.h"
#include "records/resultfiles.h"
#include "records/resultline.h"

#include <QDir>
#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <thread>

namespace zarvoni::records {
namespace {

using testing::FaultyFileSystem;

const QDateTime kWhen(QDate(2026, 12, 9), QTime(10, 15, 3), QTimeZone(3600));

ResultLine lineNamed(const QString &name, const QDateTime &when = kWhen) {
    return {when, QStringLiteral("PC-03"), {name, 12, 3, 15, true, GameEnding::TimeUp}, {}};
}

struct Text {
    const char *label;
    const char16_t *name;
    int times;
};

void PrintTo(const Text &t, std::ostream *os) {
    *os << t.label;
}

class LineRoundTrip : public ::testing::TestWithParam<Text> {};

TEST_P(LineRoundTrip, GivesBackWhatWasWrittenAndNoCutLineReadsAsWhole) {
    const QString name = QString::fromUtf16(GetParam().name).repeated(GetParam().times);
    ResultLine line = lineNamed(name, kWhen.toOffsetFromUtc(-5 * 3600 - 1800));
    line.account = QStringLiteral("anna.r\t%");
    const QByteArray bytes = encodeResultLine(line);
    ASSERT_TRUE(bytes.endsWith('\n'));
    EXPECT_EQ(bytes.count('\n'), 1);
    EXPECT_EQ(bytes.count('\t'), 10);
    const auto read = decodeResultLine(QByteArrayView(bytes).chopped(1));
    ASSERT_TRUE(std::holds_alternative<ResultLine>(read)) << std::get<QString>(read).toStdString();
    const ResultLine &back = std::get<ResultLine>(read);
    EXPECT_EQ(back.when, line.when);
    EXPECT_EQ(back.when.offsetFromUtc(), -5 * 3600 - 1800);
    EXPECT_EQ(back.game.name, name.left(kMaxRecordFileBytes - 2));
    EXPECT_EQ(back.account, line.account);
    EXPECT_EQ(back.computer, line.computer);
    EXPECT_EQ(back.game.total, 15);
    EXPECT_TRUE(back.game.record);
    EXPECT_EQ(back.game.ending, GameEnding::TimeUp);
    for (const qsizetype cut : {qsizetype(3), bytes.size() / 2, bytes.size() - 2})
        EXPECT_TRUE(std::holds_alternative<QString>(decodeResultLine(bytes.first(cut))));
    QByteArray changed = bytes.chopped(1);
    changed[40] = changed[40] == 'x' ? 'y' : 'x';
    EXPECT_TRUE(std::holds_alternative<QString>(decodeResultLine(changed)));
}

INSTANTIATE_TEST_SUITE_P(Names, LineRoundTrip,
                         ::testing::Values(Text{"Plain", u"Anna", 1},
                                           Text{"Breaks", u"An\tna\r\nB%41\x01\x7f", 1},
                                           Text{"Accents", u"Niccolò Żaneta 😀\u0085", 1},
                                           Text{"Empty", u"", 1},
                                           Text{"Long", u"Annamaria ", 7000}),
                         [](const auto &info) { return std::string(info.param.label); });

class ResultsFolder : public ::testing::Test {
protected:
    QString folder() const { return root.filePath(QStringLiteral("risultati/")); }
    QByteArray bytesOf(const QString &fileName) const {
        QFile file(folder() + fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
    }
    void put(const QString &fileName, const QByteArray &bytes) const {
        QDir().mkpath(folder());
        QFile file(folder() + fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    QTemporaryDir root;
    FaultyFileSystem fileSystem;
    ResultFiles list{folder(), root.filePath(kResultsLockFile), fileSystem};
};

TEST_F(ResultsFolder, ALineCutShortStaysCutAndTheNextStartsAfreshInItsMonth) {
    const QByteArray line = encodeResultLine(lineNamed(QStringLiteral("Anna")));
    put(QStringLiteral("2026-12.txt"), line + line.first(20));
    ASSERT_FALSE(list.append(line, QDate(2026, 12, 9)).isProblem());
    EXPECT_EQ(bytesOf(QStringLiteral("2026-12.txt")), line + line.first(20) + '\n' + line);
    ASSERT_FALSE(list.append(line, QDate(2027, 1, 2)).isProblem());
    EXPECT_EQ(bytesOf(QStringLiteral("2027-01.txt")), line);
    std::vector<ResultSegment> segments;
    EXPECT_TRUE(list.read(QDate(2027, 1, 1), {}, segments).isEmpty());
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].bytes, line);
}

struct Bound {
    const char *label;
    int oldLines;
    qsizetype lineBytes;
    const char *oldMonth;
    qint64 keptOld; // lines of the old month that stay
};

void PrintTo(const Bound &b, std::ostream *os) {
    *os << b.label;
}

class Bounds : public ResultsFolder, public ::testing::WithParamInterface<Bound> {};

// The newest lines stay: a month older than a year goes whole, and past the bound
// of lines or of bytes the oldest lines go first.
TEST_P(Bounds, TheOldestGoFirst) {
    const Bound &bound = GetParam();
    QByteArray old;
    for (int i = 0; i < bound.oldLines; ++i)
        old += QByteArray::number(i).rightJustified(bound.lineBytes - 1, 'x') + '\n';
    put(QString::fromLatin1(bound.oldMonth), old);
    const QByteArray line = encodeResultLine(lineNamed(QStringLiteral("Anna")));
    ASSERT_FALSE(list.append(line, QDate(2026, 12, 9)).isProblem());
    const QByteArray kept = bytesOf(QString::fromLatin1(bound.oldMonth));
    EXPECT_EQ(kept == "<missing>" ? 0 : kept.count('\n'), bound.keptOld);
    EXPECT_TRUE(bound.keptOld == 0 || kept.endsWith(old.last(bound.lineBytes)));
    EXPECT_EQ(bytesOf(QStringLiteral("2026-12.txt")), line);
}

INSTANTIATE_TEST_SUITE_P(Results, Bounds,
                         ::testing::Values(Bound{"AYearAgo", 3, 60, "2025-12.txt", 3},
                                           Bound{"OlderThanAYear", 3, 60, "2025-11.txt", 0},
                                           Bound{"Lines", int(kMaxResultsLines), 60, "2026-11.txt",
                                                 kMaxResultsLines - 1},
                                           Bound{"Bytes", 4096, 4096, "2026-10.txt",
                                                 (kMaxResultsBytes - 160) / 4096}),
                         [](const auto &info) { return std::string(info.param.label); });

// Two computers and a lab folder: lines go in the computer's own folder once it
// is its own, else beside its record; a teacher reads them all, and erases them.
TEST(MachineResultsTest, AppendsWhereTheComputerMayAndTheTeacherReadsAndErasesEverything) {
    QTemporaryDir root;
    const auto fileSystem = std::make_shared<FaultyFileSystem>();
    const QString lab = root.filePath(QStringLiteral("lab"));
    const QString local = root.filePath(QStringLiteral("local/"));
    ASSERT_TRUE(QDir().mkpath(local) && QDir().mkpath(lab + "/pc-01") &&
                QDir().mkpath(lab + "/pc-02"));
    QString identity;
    ASSERT_FALSE(computerIdentity(*fileSystem, local, identity).isProblem());
    QFile owner(lab + "/pc-01/" + kLabOwnerFile);
    ASSERT_TRUE(owner.open(QIODevice::WriteOnly) && owner.write(identity.toLatin1() + "\r\n"));
    owner.close();
    Settings settings{lab, {}, true, false, {}};
    MachineResults results(local, settings, fileSystem, QStringLiteral("anna.r"));
    ResultLine line = results.lineOf({QStringLiteral("Anna"), 1, 0, 1, false, {}}, kWhen);
    EXPECT_TRUE(line.account.isEmpty()) << "off unless the technician turns it on";
    line.computer = QStringLiteral("PC-01");
    EXPECT_TRUE(results.append(line));
    line.computer = QStringLiteral("PC-02"); // a folder another computer owns
    EXPECT_TRUE(results.append(line));
    line.when = kWhen.addMonths(-2);
    EXPECT_TRUE(results.append(line));
    ClassResults teacher(local, settings, *fileSystem);
    GatheredResults all = teacher.gather({}, {});
    EXPECT_TRUE(all.problems.isEmpty()) << all.problems.join(u'\n').toStdString();
    ASSERT_EQ(all.segments.size(), 3u);
    EXPECT_TRUE(all.segments[0].path.endsWith(u"local/risultati/2026-10.txt"));
    EXPECT_TRUE(all.segments[1].path.endsWith(u"local/risultati/2026-12.txt"));
    EXPECT_TRUE(all.segments[2].path.endsWith(u"lab/pc-01/risultati/2026-12.txt"));
    EXPECT_EQ(teacher.gather(QDate(2026, 12, 1), QDate(2026, 12, 31)).segments.size(), 2u);
    EXPECT_TRUE(teacher.erase().isEmpty());
    EXPECT_TRUE(teacher.gather({}, {}).segments.empty());

    settings.resultsAccount = true;
    settings.recordFolder.clear();
    EXPECT_EQ(MachineResults(local, settings, fileSystem, QStringLiteral("anna.r"))
                  .lineOf({}, kWhen)
                  .account,
              "anna.r");
    settings.results = false;
    EXPECT_FALSE(MachineResults(local, settings, fileSystem, {}).append(line));
    fileSystem->failOn(FaultyFileSystem::Op::Append, ENOSPC);
    settings.results = true;
    EXPECT_FALSE(MachineResults(local, settings, fileSystem, {}).append(line));
    EXPECT_TRUE(teacher.gather({}, {}).segments.empty());
}

TEST(MachineResultsTest, AServerThatStallsCostsTheBoundAndWritesNothing) {
    QTemporaryDir root;
    const auto fileSystem = std::make_shared<FaultyFileSystem>();
    const QString lab = root.filePath(QStringLiteral("lab"));
    ASSERT_TRUE(QDir().mkpath(lab));
    fileSystem->beforeEach(FaultyFileSystem::Op::Read, kLabOwnerFile,
                           [] { std::this_thread::sleep_for(std::chrono::seconds(2)); });
    MachineResults results(root.path(), Settings{lab, {}, true, false, {}}, fileSystem, {},
                           std::chrono::milliseconds(200));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(results.append(GameEnd{}));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

} // namespace
} // namespace zarvoni::records
