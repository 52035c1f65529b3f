// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowfixture.h"

#include "app/gamesession.h"

#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace zarvoni::testing {
namespace {

const QString kStored = QStringLiteral("Ok ho registrato il tuo record, C A M P I O N E");

class EndOfGame : public WindowTest {
protected:
    void score(int right, int wrong = 0) {
        for (int i = 0; i < right + wrong; ++i) {
            if (i < right)
                answerRight();
            else
                answerWrong();
            nextExercise();
        }
    }
    // Alt+X, as a pupil leaves; the access key clicks the button a moment later.
    void leave() {
        QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_X, Qt::AltModifier);
        ASSERT_TRUE(QTest::qWaitFor([this] { return t.end.count > 0; }));
    }
    QStringList messagesAfterStartup() const { return t.dialogs.messagePrompts().mid(1); }
};

TEST_F(EndOfGame, FarewellWithTodaysDateThenNothingStoredWithoutPoints) {
    start();
    leave();
    ASSERT_EQ(t.dialogs.calls.size(), 3u);
    const DialogCall &farewell = t.dialogs.calls.back();
    EXPECT_EQ(farewell.prompt, "Ciao Anna, alla prossima sfida!");
    EXPECT_EQ(farewell.buttons, 0);
    EXPECT_EQ(farewell.title, "Data 07/12/26");
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(t.bytesOf("eq.txt"), "");
    EXPECT_EQ(t.bytesOf("neq.txt"), "");
}

TEST_F(EndOfGame, ABetterScoreIsStoredAndConfirmed) {
    start();
    score(3, 1);
    leave();
    EXPECT_EQ(t.bytesOf("eq.txt"), "3\r\n");
    EXPECT_EQ(t.bytesOf("neq.txt"), "Anna\r\n");
    ASSERT_EQ(messagesAfterStartup(), QStringList({"Ciao Anna, alla prossima sfida!", kStored}));
    EXPECT_EQ(t.dialogs.calls.back().buttons, 0);
    EXPECT_EQ(t.dialogs.calls.back().title, "") << "the confirmation has no title of its own";
    EXPECT_EQ(t.end.count, 1);
}

struct Contest {
    const char *label;
    int right;
    bool stored;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const Contest &c, std::ostream *os) {
    *os << c.label;
}

class AgainstFive : public EndOfGame, public ::testing::WithParamInterface<Contest> {};

TEST_P(AgainstFive, OnlyABetterScoreReplacesTheRecord) {
    t.write("eq.txt", "5\r\n");
    t.write("neq.txt", "Bruno\r\n");
    start();
    score(GetParam().right);
    leave();
    EXPECT_EQ(t.bytesOf("eq.txt"), QByteArray(GetParam().stored ? "6\r\n" : "5\r\n"));
    EXPECT_EQ(t.bytesOf("neq.txt"), QByteArray(GetParam().stored ? "Anna\r\n" : "Bruno\r\n"));
    EXPECT_EQ(t.dialogs.messagePrompts().contains(kStored), GetParam().stored);
    EXPECT_EQ(t.end.count, 1);
    // One line for the teachers, whether it set a record or not.
    const QByteArray counts = QByteArray::number(GetParam().right);
    ASSERT_EQ(t.resultLines().size(), 1);
    EXPECT_TRUE(t.resultLines()[0].contains("\tAnna\t" + counts + "\t0\t" + counts + "\t" +
                                            (GetParam().stored ? "1" : "0") + "\tuscita\t"))
        << t.resultLines()[0].toStdString();
}

INSTANTIATE_TEST_SUITE_P(Record, AgainstFive,
                         ::testing::Values(Contest{"Tie", 5, false}, Contest{"Better", 6, true}),
                         [](const auto &info) { return std::string(info.param.label); });

struct Name {
    const char *label;
    const char *piece;
    int times;
};

// Without it, GoogleTest prints a row as its raw bytes.
void PrintTo(const Name &n, std::ostream *os) {
    *os << n.label;
}

class Named : public EndOfGame, public ::testing::WithParamInterface<Name> {};

// The name is stored as the pupil typed it, however little of it the window shows.
TEST_P(Named, TheNameIsStoredAsTyped) {
    const QString name = QString::fromUtf8(GetParam().piece).repeated(GetParam().times);
    start(name);
    score(1);
    leave();
    EXPECT_EQ(t.dialogs.messagePrompts().value(1), "Ciao " + name + ", alla prossima sfida!");
    EXPECT_EQ(t.bytesOf("neq.txt"), name.toLatin1() + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Names, Named,
                         ::testing::Values(Name{"Empty", "", 1}, Name{"Long", "Annamaria ", 4000}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(EndOfGame, EnterAndSpaceOnTheFocusedExitButtonLeaveToo) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        t.end.count = 0;
        start();
        QWidget *exit = find<QWidget>("cmdExit");
        exit->setFocus();
        QTest::keyClick(exit, key);
        EXPECT_EQ(t.end.count, 1) << "key " << key;
    }
}

TEST_F(EndOfGame, TheClockExpiringRunsTheSameRoutine) {
    start();
    score(2);
    timer()->stop();
    for (int i = 0; i < 901; ++i)
        window->Timer1_Timer();
    EXPECT_EQ(t.bytesOf("eq.txt"), "2\r\n");
    EXPECT_TRUE(t.dialogs.messagePrompts().contains(kStored));
    EXPECT_EQ(t.end.count, 1);
    ASSERT_EQ(t.resultLines().size(), 1);
    EXPECT_TRUE(t.resultLines()[0].contains("\tAnna\t2\t0\t2\t1\ttempo\t"));
}

TEST_F(EndOfGame, AFailedStoreKeepsTheOldPairAndSaysSo) {
    t.write("eq.txt", "1\r\n");
    t.write("neq.txt", "Bruno\r\n");
    start();
    score(2);
    t.fileSystem.failOn(FaultyFileSystem::Op::WriteNew, ENOSPC);
    leave();
    EXPECT_EQ(t.bytesOf("eq.txt"), "1\r\n");
    EXPECT_EQ(t.bytesOf("neq.txt"), "Bruno\r\n");
    const QStringList messages = messagesAfterStartup();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[1].contains(u"il disco è pieno")) << messages[1].toStdString();
    EXPECT_FALSE(messages.contains(kStored));
    EXPECT_EQ(t.end.count, 1);
}

// The end of a game that waits for a slow school's server: the window's events
// go on flowing, and the pupil is told what the store answered once it answers.
TEST_F(EndOfGame, WaitingForTheServerKeepsTheWindowAlive) {
    HeldBackground server;
    ScriptedRecords records;
    records.readAnswer = {records::ReadResult::Outcome::Read, {"1\r\n", "Bruno\r\n"}, {}};
    records.storeAnswer = {records::StoreResult::Outcome::Pending, QStringLiteral("conservato")};
    const Seams slow{t.random, t.dialogs,          t.time, t.end,
                     records,  t.recordDir.path(), server, t.results};
    seams = &slow;
    start();
    server.release();
    score(2);
    int ticks = 0; // of a timer that runs only while the window's events flow
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        // The store and the game's results line, once the window has ticked three times.
        if (server.held() > 0 && ++ticks >= 3)
            server.release();
    });
    answer.start(10);
    leave();
    EXPECT_GE(ticks, 3);
    EXPECT_EQ(server.held(), 0U);
    EXPECT_EQ(t.dialogs.messagePrompts().last(), "conservato");
}

struct BetterOnDisk {
    const char *label;
    bool shownAtStartup;
    const char16_t *says;
};

void PrintTo(const BetterOnDisk &b, std::ostream *os) {
    *os << b.label;
}

class ABetterRecordOnDisk : public EndOfGame, public ::testing::WithParamInterface<BetterOnDisk> {};

// The game says that another game stored a record meanwhile only when it showed
// a lower one at start-up.
TEST_P(ABetterRecordOnDisk, IsKeptAndTheMessageSaysOnlyWhatHappened) {
    const auto storeNine = [this] {
        t.write("eq.txt", "9\r\n");
        t.write("neq.txt", "Carla\r\n");
    };
    if (!GetParam().shownAtStartup) {
        storeNine();
        t.fileSystem.failOn(FaultyFileSystem::Op::Read, EIO, 1);
    }
    start();
    score(2);
    if (GetParam().shownAtStartup) // start-up's read takes no lock: this is the store's
        t.fileSystem.before(FaultyFileSystem::Op::Lock, 1, storeNine);
    leave();
    EXPECT_EQ(t.bytesOf("eq.txt"), "9\r\n");
    EXPECT_EQ(t.bytesOf("neq.txt"), "Carla\r\n");
    EXPECT_FALSE(t.dialogs.messagePrompts().contains(kStored));
    const QString last = t.dialogs.messagePrompts().last();
    EXPECT_TRUE(last.startsWith(QString::fromUtf16(GetParam().says))) << last.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Record, ABetterRecordOnDisk,
                         ::testing::Values(BetterOnDisk{"StoredMeanwhile", true, u"Nel frattempo"},
                                           BetterOnDisk{
                                               "NotShownAtStartup", false,
                                               u"Il record registrato è uguale o migliore"}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(EndOfGame, NothingRunsAfterTheEnd) {
    start();
    leave();
    ASSERT_EQ(t.end.count, 1);
    const QStringList draws = t.random.log;
    EXPECT_FALSE(timer()->isActive());
    EXPECT_FALSE(window->isEnabled());
    window->cmdExit_Click();
    window->cmdNext_Click();
    window->Next_Click();
    window->Timer1_Timer();
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(t.dialogs.calls.size(), 3u) << "no dialog after the farewell";
    EXPECT_EQ(t.random.log, draws);
}

TEST_F(EndOfGame, AClockRunningOutDuringTheRestartQuestionEndsTheGameForGood) {
    start();
    int restarts = 0;
    QObject::connect(window.get(), &Tavola::restartRequested, [&] { ++restarts; });
    t.dialogs.whileOpen = [this](const DialogCall &call) {
        if (call.title != "INIZIARE NUOVA GARA")
            return;
        for (int i = 0; i < 901; ++i)
            window->Timer1_Timer();
        t.dialogs.answers.push_back(6); // then the pupil answers Yes
    };
    window->Next_Click();
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(restarts, 0) << "no new game after the end";
}

TEST_F(EndOfGame, ClosingTheWindowStoresNothing) {
    start();
    score(2);
    window->close();
    EXPECT_EQ(t.end.count, 1);
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(t.bytesOf("eq.txt"), "");
    EXPECT_EQ(t.dialogs.messagePrompts().filter("alla prossima").size(), 0);
    EXPECT_TRUE(t.resultLines().isEmpty()) << "no line for the teachers";
}

class Session : public ::testing::Test {
protected:
    Session() { failOnUnscriptedQuestions(t.dialogs); }
    Tavola *started() {
        t.dialogs.inputs.push_back(QStringLiteral("Anna"));
        session.start();
        Tavola *window = session.window();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
        return window;
    }
    // Opens "Nuovo  gioco" as a pupil does, with a click on the menu bar.
    void openNewGameMenu(Tavola *window) {
        QMenuBar *bar = window->menuBar();
        const QRect item = bar->actionGeometry(bar->actions().at(0));
        QTest::mouseClick(bar, Qt::LeftButton, {}, item.center());
    }
    QMenu *menuOf(Tavola *window) { return window->findChild<QMenu *>("Next"); }

    TestSeams t;
    GameSession session{t.seams};
};

TEST_F(Session, NewGameAnsweredNoChangesNothingAndOpensTheMenu) {
    Tavola *window = started();
    window->findChild<QLineEdit *>("txtAnswer")->setText("1");
    t.dialogs.answers.push_back(7); // No
    openNewGameMenu(window);
    const DialogCall &question = t.dialogs.calls.back();
    EXPECT_EQ(question.prompt, "INIZIAMO UNA NUOVA GARA  ?");
    EXPECT_EQ(question.buttons, 292);
    EXPECT_EQ(question.title, "INIZIARE NUOVA GARA");
    EXPECT_EQ(session.window(), window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return menuOf(window)->isVisible(); }));
    menuOf(window)->hide();
    EXPECT_TRUE(window->findChild<QTimer *>("Timer1")->isActive());
    EXPECT_EQ(window->findChild<QLineEdit *>("txtAnswer")->text(), "1");
    EXPECT_TRUE(t.resultLines().isEmpty());
}

TEST_F(Session, NewGameAnsweredNoGivesTheFocusBack) {
    Tavola *window = started();
    const QWidget *answerBox = window->findChild<QLineEdit *>("txtAnswer");
    ASSERT_EQ(QApplication::focusWidget(), answerBox);
    // A real question box takes the activation away from the window, and nothing
    // gives it back while the menu opens.
    QWidget box;
    t.dialogs.whileOpen = [&box](const DialogCall &) {
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        box.hide();
    };
    t.dialogs.answers.push_back(7); // No
    openNewGameMenu(window);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return menuOf(window)->isVisible(); }));
    // Escape closes the menu, a second one leaves the menu bar.
    QTest::keyClick(menuOf(window), Qt::Key_Escape);
    QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), answerBox);
}

TEST_F(Session, NewGameAnsweredYesStartsAFreshWindow) {
    t.write("eq.txt", "4\r\n");
    Tavola *first = started();
    QPointer<Tavola> old(first);
    first->Timer1_Timer();
    t.write("eq.txt", "8\r\n");
    t.write("neq.txt", "Dario\r\n");
    t.dialogs.answers.push_back(6); // Yes
    t.dialogs.inputs.push_back(QStringLiteral("Bea"));
    openNewGameMenu(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return old.isNull(); })) << "the old window is discarded";
    Tavola *fresh = session.window();
    ASSERT_NE(fresh, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(fresh));
    const auto label = [fresh](const char *name) {
        return fresh->findChild<CaptionLabel *>(QString::fromLatin1(name))->caption();
    };
    EXPECT_EQ(label("lblnome1"), "Bea");
    EXPECT_EQ(label("lblconto"), "00:15:00");
    EXPECT_EQ(label("lblScore"), "0");
    EXPECT_EQ(label("lblScore1"), "0");
    EXPECT_EQ(label("lblpunti"), "8\r\n") << "the record is read again";
    EXPECT_EQ(label("lblnome"), "Dario\r\n");
    EXPECT_FALSE(label("lblNum1").isEmpty()) << "the first exercise of the new game";
    EXPECT_EQ(t.end.count, 0);
    EXPECT_EQ(t.bytesOf("eq.txt"), "8\r\n") << "the abandoned game is not compared";
    ASSERT_EQ(t.resultLines().size(), 1) << "but it has its line";
    EXPECT_TRUE(t.resultLines()[0].contains("\tAnna\t0\t0\t0\t0\tnuova\t"));

    int windows = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        windows += qobject_cast<Tavola *>(widget) ? 1 : 0;
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(Session, ClosingTheWindowEndsTheProgram) {
    Tavola *window = started();
    window->close();
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(t.dialogs.messagePrompts().size(), 1) << "only the greeting";
}

} // namespace
} // namespace zarvoni::testing
