// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowfixture.h"

#include <QFile>
#include <QTest>

namespace zarvoni::testing {
namespace {

const QString kTitle = QStringLiteral("Gioca con le zarvoni di I grado");

class Startup : public WindowTest {};

TEST_F(Startup, AsksTheNameAndGreetsThePlayerExactly) {
    load(QStringLiteral("Anna"));
    ASSERT_EQ(t.dialogs.calls.size(), 2u);
    const DialogCall &prompt = t.dialogs.calls[0];
    EXPECT_EQ(prompt.kind, DialogCall::Kind::Input);
    EXPECT_EQ(prompt.prompt, "Come ti chiami?");
    EXPECT_EQ(prompt.title, kTitle);
    const DialogCall &greeting = t.dialogs.calls[1];
    EXPECT_EQ(greeting.kind, DialogCall::Kind::Message);
    EXPECT_EQ(greeting.prompt, " Anna vediamo se sei un vero campione  ");
    EXPECT_EQ(greeting.buttons, 48);
    EXPECT_EQ(greeting.title, kTitle);
    EXPECT_EQ(caption("lblnome1"), "Anna");
}

TEST_F(Startup, AnEmptyOrCancelledNameStillGreets) {
    load(QString());
    EXPECT_EQ(t.dialogs.calls.at(1).prompt, "  vediamo se sei un vero campione  ");
    EXPECT_EQ(caption("lblnome1"), "");
}

TEST_F(Startup, ANameIsShownAsTypedNeverAsMarkup) {
    load(QStringLiteral("<b>Tom</b> & Jerry"));
    EXPECT_EQ(find("lblnome1")->textFormat(), Qt::PlainText);
    EXPECT_EQ(caption("lblnome1"), "<b>Tom</b> & Jerry");
}

TEST_F(Startup, ReseedsFirstAndKeepsTheClockStillWhileTheDialogsAreOpen) {
    create();
    int ticksWhileOpen = 0;
    t.dialogs.whileOpen = [&](const DialogCall &) {
        ticksWhileOpen += timer()->isActive() ? 1 : 0;
    };
    t.dialogs.inputs.push_back(QStringLiteral("Anna"));
    window->Form_Load();
    EXPECT_EQ(t.random.log.value(0), "seed");
    EXPECT_EQ(ticksWhileOpen, 0);
    EXPECT_TRUE(timer()->isActive());
}

TEST_F(Startup, ShowsFullClockAndZeroCountersBeforeTheFirstTick) {
    load();
    EXPECT_EQ(caption("lblconto"), "00:15:00");
    EXPECT_EQ(window->orologio().tempoRestante(), 900);
    EXPECT_EQ(caption("lblScore"), "0");
    EXPECT_EQ(caption("lblScore1"), "0");
    EXPECT_EQ(caption("lblScore2"), "0");
    EXPECT_EQ(window->stato().cartella, t.recordDir.path() + u'/');
}

TEST_F(Startup, FirstRunCreatesEmptyRecordFilesAndAnEmptyRecordLine) {
    load();
    EXPECT_EQ(t.bytesOf("eq.txt"), "");
    EXPECT_EQ(t.bytesOf("neq.txt"), "");
    EXPECT_EQ(caption("lblpunti"), "");
    EXPECT_EQ(caption("lblnome"), "");
}

TEST_F(Startup, ShowsTheStoredRecordWithItsLineBreaks) {
    t.write("eq.txt", "12\r\n");
    t.write("neq.txt", "Bruno\r\n");
    load();
    EXPECT_EQ(caption("lblpunti"), "12\r\n");
    EXPECT_EQ(caption("lblnome"), "Bruno\r\n");
    EXPECT_EQ(t.bytesOf("eq.txt"), "12\r\n");
    EXPECT_EQ(t.bytesOf("neq.txt"), "Bruno\r\n");
}

struct RecordRow {
    const char *label;
    std::function<void(TestSeams &)> make;
    const char *badFile; // empty when the record can be read
    QString score;
    QString name;
};

// Without it, GoogleTest prints a row as its raw bytes.
void PrintTo(const RecordRow &r, std::ostream *os) {
    *os << r.label;
}

class RecordAtStartup : public WindowTest, public ::testing::WithParamInterface<RecordRow> {};

// The record line shows whatever can be read, never a score beside the wrong name,
// and only a file that cannot be read is worth a message.
TEST_P(RecordAtStartup, ShowsWhatCanBeReadAndSaysWhatCannot) {
    t.write("eq.txt", "12\r\n");
    t.write("neq.txt", "Bruno\r\n");
    const RecordRow &row = GetParam();
    row.make(t);
    start();
    const QStringList messages = t.dialogs.messagePrompts();
    const QString badFile = QLatin1String(row.badFile);
    ASSERT_EQ(messages.size(), badFile.isEmpty() ? 1 : 2) << messages.join(" | ").toStdString();
    if (!badFile.isEmpty()) {
        EXPECT_TRUE(messages[1].contains(t.path(badFile))) << messages[1].toStdString();
    }
    EXPECT_EQ(caption("lblpunti"), row.score);
    EXPECT_EQ(caption("lblnome"), row.name);
    // However long the name, the label shows, and a screen reader is given, what fits
    // on the window.
    CaptionLabel *holder = find("lblnome");
    EXPECT_LE(holder->geometry().right(), window->centralWidget()->width());
    EXPECT_EQ(spoken(holder), holder->shownText());
    EXPECT_LE(holder->shownText().size(), window->centralWidget()->width());
    EXPECT_TRUE(timer()->isActive());
    EXPECT_FALSE(caption("lblNum1").isEmpty()) << "the first exercise is posed";
}

INSTANTIATE_TEST_SUITE_P(
    Files, RecordAtStartup,
    ::testing::Values(
        RecordRow{"ScoreIsADirectory",
                  [](TestSeams &t) {
                      QFile::remove(t.path("eq.txt"));
                      QDir(t.recordDir.path()).mkdir("eq.txt");
                  },
                  "eq.txt", "", ""},
        RecordRow{"NameOf64KiB",
                  [](const TestSeams &t) { t.write("neq.txt", QByteArray(65536, 'N')); }, "",
                  "12\r\n", QString(65536, u'N')},
        RecordRow{"AlteredName",
                  [](const TestSeams &t) { t.write("neq.txt", QByteArray("\0\1\2", 3)); }, "",
                  "12\r\n", QString::fromLatin1("\0\1\2", 3)},
        RecordRow{"DirectoryNotWritable",
                  [](TestSeams &t) {
                      for (const auto op : {FaultyFileSystem::Op::MakeDirectories,
                                            FaultyFileSystem::Op::CreateEmpty})
                          t.fileSystem.failOn(op, EACCES);
                  },
                  "", "12\r\n", "Bruno\r\n"}),
    [](const auto &info) { return std::string(info.param.label); });

struct ServerRead {
    const char *label;
    records::ReadResult answer;
    const char16_t *name; // the record line once the read returns
    const char16_t *score;
    int boxes; // message boxes it brings
};

void PrintTo(const ServerRead &r, std::ostream *os) {
    *os << r.label;
}

class RecordOnAServer : public WindowTest, public ::testing::WithParamInterface<ServerRead> {};

// A record on a slow school's server: the window starts at once, and the record
// line fills in when the read returns, or says that the server cannot be reached.
TEST_P(RecordOnAServer, FillsTheRecordLineWhenTheReadReturns) {
    HeldBackground server;
    ScriptedRecords records;
    records.readAnswer = GetParam().answer;
    const Seams slow{t.random, t.dialogs,          t.time, t.end,
                     records,  t.recordDir.path(), server, t.results};
    seams = &slow;
    start();
    EXPECT_EQ(caption("lblnome"), QStringLiteral("…"));
    const auto boxes = t.dialogs.messagePrompts().size();
    server.release();
    EXPECT_EQ(caption("lblnome"), QString::fromUtf16(GetParam().name));
    EXPECT_EQ(caption("lblpunti"), QString::fromUtf16(GetParam().score));
    EXPECT_EQ(t.dialogs.messagePrompts().size() - boxes, GetParam().boxes);
    EXPECT_TRUE(answerBox()->hasFocus()) << "the game goes on";
}

using ReadOutcome = records::ReadResult::Outcome;
INSTANTIATE_TEST_SUITE_P(
    Server, RecordOnAServer,
    ::testing::Values(
        ServerRead{
            "Read", {ReadOutcome::Read, {"9\r\n", "Bruno\r\n"}, {}}, u"Bruno\r\n", u"9\r\n", 0},
        ServerRead{"ReadWithANotice",
                   {ReadOutcome::Read, {"9\r\n", "Bruno\r\n"}, "si chiama"},
                   u"Bruno\r\n",
                   u"9\r\n",
                   1},
        ServerRead{"Unreachable",
                   {ReadOutcome::Unreachable, {}, "non risponde"},
                   u"? (server non raggiungibile ora)",
                   u"?",
                   0}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(Startup, FirstActivationPosesTheFirstExerciseOnlyOnce) {
    t.random.script(drawsFor(-2, 3, 4, 0));
    start();
    EXPECT_EQ(caption("lblNum1"), "3x");
    EXPECT_EQ(caption("lblNum2"), "4");
    EXPECT_EQ(caption("lblNum3"), "-6");
    EXPECT_EQ(caption("lblNum4"), "-8");
    EXPECT_EQ(window->stato().risultato, -6);
    EXPECT_FALSE(nextButton()->isEnabled());
    const qsizetype draws = t.random.log.count("r");

    // The pupil switches to another program and back.
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(t.random.log.count("r"), draws) << "coming back poses no new exercise";
    EXPECT_EQ(caption("lblNum1"), "3x");
}

TEST_F(Startup, TheTitleLosesItsTrailingSpacesWhenShown) {
    start();
    EXPECT_EQ(window->windowTitle(), kTitle);
}

struct Posed {
    int m, a, b, k;
    bool secondPlusVisible;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const Posed &p, std::ostream *os) {
    *os << "m=" << p.m << " a=" << p.a << " b=" << p.b << " k=" << p.k;
}

class NewExercise : public WindowTest, public ::testing::WithParamInterface<Posed> {};

TEST_P(NewExercise, ClearsTheAnswerAndMessageAndShowsTheSigns) {
    const Posed &p = GetParam();
    start();
    answerRight();
    t.random.script(drawsFor(p.m, p.a, p.b, p.k));
    nextExercise();
    EXPECT_EQ(answerBox()->text(), "");
    EXPECT_EQ(caption("lblMessage"), "");
    EXPECT_FALSE(nextButton()->isEnabled());
    EXPECT_FALSE(find("Lblsegno")->isHidden());
    EXPECT_EQ(!find("Lblsegno2")->isHidden(), p.secondPlusVisible);
}

INSTANTIATE_TEST_SUITE_P(Signs, NewExercise,
                         ::testing::Values(Posed{-2, 3, 4, 0, false}, Posed{-1, 2, 9, 3, true},
                                           Posed{1, 5, 7, 1, true}, Posed{2, 6, 4, 2, true}));

TEST_F(Startup, NumberBoxesWidenToTheRightKeepingTheirLeftEdge) {
    t.random.script(drawsFor(-2, 3, 4, 0));
    start();
    CaptionLabel *first = find("lblNum1");
    CaptionLabel *third = find("lblNum3");
    EXPECT_EQ(first->x(), 40);
    EXPECT_EQ(third->x(), 330);
    EXPECT_GT(first->width(), 23) << "\"3x\" is wider than the box's starting width";
    EXPECT_GE(first->width(), first->fontMetrics().horizontalAdvance("3x"));
    EXPECT_EQ(first->height(), third->height()) << "one line of the same font";
    EXPECT_LT(first->height(), 2 * first->fontMetrics().height());
    EXPECT_TRUE(first->autoFillBackground());
}

TEST_F(Startup, GradientRunsFromTheTopBandToTheBottomBand) {
    t.random.script(drawsFor(2, 8, 9, 3));
    start();
    // Points of the surface that no control covers.
    EXPECT_EQ(surfaceColourAt({300, 0}), QColor(160, 180, 0));
    EXPECT_EQ(surfaceColourAt({300, 553}), QColor(160, 180, 255));
    const QColor middle = surfaceColourAt({300, 277});
    EXPECT_NEAR(middle.blue(), 128, 2);
}

TEST_F(Startup, AnExercisePosedBeforeTheWindowIsShownIsPaintedToo) {
    t.random.script(drawsFor(2, 8, 9, 3));
    create();
    window->cmdNext_Click();
    EXPECT_EQ(surfaceColourAt({300, 0}), QColor(160, 180, 0));
}

} // namespace
} // namespace zarvoni::testing
