// SPDX-License-Identifier: GPL-3.0-or-later
// The window as it is created, checked against an independent transcription of
// its controls in pixels (15 twips to the pixel).

#include "window/windowfixture.h"

#include "app/screenreaderevents.h"

#include <QAccessible>
#include <QMenuBar>
#include <QTest>

namespace zarvoni::testing {
namespace {

struct Expected {
    const char *name;
    const char16_t *caption;
    QRect rect;
    const char *family; // first choice of family; "" for the default font
    int pixelSize;
    bool bold;
    QRgb text;       // 0: the desktop's colour
    QRgb background; // 0: transparent or the desktop's colour
    const char16_t *tooltip;
};

constexpr QRgb kCyan = 0xFF00FFFF;
constexpr QRgb kYellow = 0xFFFFFF00;

// clang-format off
const Expected kControls[] = {
    {"txtAnswer", u"", {552, 104, 185, 80}, "Arial", 64, true, 0, kCyan,
     u"Inserisci il risultato e  premi il tasto  Invio"},
    {"cmdNext", u"&Nuovo calcolo", {32, 344, 121, 73}, "MS Sans Serif", 11, true, 0, kCyan, u"Go"},
    {"cmdExit", u"E&xit", {592, 344, 121, 73}, "MS Sans Serif", 11, true, 0, 0xFFC000C0,
     u"Ti prego resta ancora, forse riuscirai a farmi uscire "},
    {"Command1", u"Command1", {48, 368, 57, 41}, "MS Sans Serif", 11, false, 0, 0, u""},
    {"Label2", u"SFIDANTE", {208, 440, 137, 41}, "Times New Roman", 24, false, kYellow, 0, u""},
    {"lblnome", u"Label8", {173, 504, 81, 29}, "MS Sans Serif", 24, true, kCyan, 0, u""},
    {"lblnome1", u"Label3", {352, 440, 67, 35}, "Times New Roman", 24, false, kYellow, 0, u""},
    {"lblpunti", u"Label3", {640, 504, 81, 33}, "MS Sans Serif", 24, true, kCyan, 0, u""},
    {"Label7", u"con punti", {512, 504, 113, 33}, "MS Sans Serif", 24, true, kCyan, 0, u""},
    {"lblini", u"Il record è di", {16, 504, 149, 29}, "MS Sans Serif", 24, true, kCyan, 0, u""},
    {"lblconto", u"15.00.00", {592, 40, 105, 33}, "Arial Black", 16, true, kYellow, 0, u""},
    {"tempo", u"Tempo restante", {560, 8, 153, 25}, "MS Sans Serif", 18, true, 0xFFFFFF80, 0, u""},
    {"Lblsegno2", u"+", {400, 32, 49, 57}, "Arial", 64, false, kCyan, 0, u""},
    {"Lblsegno", u"+", {104, 24, 41, 65}, "Arial", 64, false, kCyan, 0, u""},
    {"Label5", u"X =", {432, 104, 113, 81}, "Arial", 64, false, 0xFFFF00FF, 0,
     u"Ricorda:    M= E x E1 /M1 mentre  E= M x M1 /E1"},
    {"lblNum4", u"", {456, 16, 22, 79}, "Arial", 64, true, 0, kCyan, u""},
    {"lblNum3", u"", {330, 16, 23, 79}, "Arial", 64, true, 0, kCyan, u""},
    {"Label3", u"Risposte totali", {568, 224, 156, 33}, "MS Sans Serif", 24, false, 0xFF0000FF, 0, u""},
    {"Label1", u"Risposte errate", {296, 224, 168, 33}, "MS Sans Serif", 24, false, 0xFFFF0000, 0, u""},
    {"lblScore2", u"0", {632, 272, 37, 59}, "Times New Roman", 48, true, 0xFF0000FF, 0, u""},
    {"lblScore1", u"0", {368, 272, 36, 59}, "Times New Roman", 48, true, 0xFFFF0000, 0, u""},
    {"Image1", u"", {560, 40, 32, 32}, "MS Sans Serif", 11, false, 0, 0,
     u"Clicca sotto di me per impostare il Timer"},
    {"lblTime", u"", {560, 120, 6, 20}, "MS Sans Serif", 16, true, 0, 0,
     u"Clicca sotto di me per attivare il Timer"},
    {"lblNum2", u"", {192, 16, 23, 79}, "Arial", 64, true, 0, kCyan, u""},
    {"Label4", u"=", {248, 24, 41, 65}, "Arial", 64, true, kCyan, 0, u""},
    {"lblNum1", u"", {40, 16, 23, 87}, "Arial", 64, true, 0, kCyan, u""},
    {"lblScore", u"0", {72, 272, 37, 59}, "Times New Roman", 48, true, 0, 0,
     u"Questo è il tuo punteggio. Forza con il  record"},
    {"lblMessage", u"", {16, 128, 385, 41}, "MS Sans Serif", 32, true, 0xFFFF0000, 0, u""},
    {"Label6", u"Risposte esatte", {16, 224, 171, 33}, "MS Sans Serif", 24, false, 0xFF00C000, 0, u""},
};
// clang-format on

class Layout : public WindowTest, public ::testing::WithParamInterface<Expected> {
protected:
    void SetUp() override { create(); }
};

QString textOf(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        return button->text();
    return qobject_cast<QLineEdit *>(widget)->text();
}

TEST_P(Layout, ControlIsCreatedAsDescribed) {
    const Expected &e = GetParam();
    QWidget *widget = find<QWidget>(e.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(textOf(widget), QString::fromUtf16(e.caption));
    EXPECT_EQ(widget->geometry(), e.rect);
    EXPECT_EQ(widget->toolTip(), QString::fromUtf16(e.tooltip));
    EXPECT_EQ(widget->font().families().value(0), QLatin1String(e.family));
    EXPECT_EQ(widget->font().pixelSize(), e.pixelSize);
    EXPECT_EQ(widget->font().bold(), e.bold);
    EXPECT_EQ(widget->font().italic(), QLatin1String(e.name) == "lblMessage");
    EXPECT_FALSE(widget->isHidden());
    EXPECT_EQ(widget->isEnabled(), QLatin1String(e.name) != "cmdNext");

    const QPalette palette = widget->palette();
    const QPalette desktop = QApplication::palette(widget);
    const bool isLabel = qobject_cast<CaptionLabel *>(widget) != nullptr;
    const QPalette::ColorRole textRole = qobject_cast<QLineEdit *>(widget) ? QPalette::Text
                                         : isLabel                         ? QPalette::WindowText
                                                                           : QPalette::ButtonText;
    EXPECT_EQ(palette.color(QPalette::Active, textRole).rgba(),
              e.text ? e.text : desktop.color(QPalette::Active, textRole).rgba());
    if (isLabel) {
        EXPECT_EQ(widget->autoFillBackground(), e.background != 0) << "opaque or transparent";
        if (e.background) {
            EXPECT_EQ(palette.color(QPalette::Window).rgba(), e.background);
        }
    } else if (qobject_cast<QLineEdit *>(widget)) {
        EXPECT_EQ(palette.color(QPalette::Base).rgba(), e.background);
    } else if (qobject_cast<QAbstractButton *>(widget)) {
        EXPECT_EQ(palette.color(QPalette::Button).rgba(),
                  e.background ? e.background : desktop.color(QPalette::Button).rgba());
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, Layout, ::testing::ValuesIn(kControls),
                         [](const auto &info) { return std::string(info.param.name); });

class Window : public WindowTest {};

TEST_F(Window, FramesAlignmentAndAutoSizeFollowEachLabelsRow) {
    create();
    const QStringList framed{"lblconto",  "tempo",     "lblNum4", "lblNum3", "Label3",   "Label1",
                             "lblScore2", "lblScore1", "lblNum2", "lblNum1", "lblScore", "Label6"};
    const QStringList centred{"lblnome", "lblNum3", "lblScore2", "lblScore1",  "lblNum2",
                              "Label4",  "lblNum1", "lblScore",  "lblMessage", "Label6"};
    const QStringList autoSized{"lblnome", "lblnome1", "lblini",    "lblNum4",   "lblNum3",
                                "Label3",  "Label1",   "lblScore2", "lblScore1", "lblTime",
                                "lblNum2", "lblNum1",  "lblScore",  "Label6"};
    for (CaptionLabel *label : window->findChildren<CaptionLabel *>()) {
        const QString name = label->objectName();
        EXPECT_EQ(label->frameShape() == QFrame::Box, framed.contains(name)) << name.toStdString();
        EXPECT_EQ(bool(label->alignment() & Qt::AlignHCenter), centred.contains(name))
            << name.toStdString();
        EXPECT_EQ(label->autoSize(), autoSized.contains(name)) << name.toStdString();
    }
    EXPECT_EQ(window->findChildren<CaptionLabel *>().size(), 24);
}

TEST_F(Window, WindowHasItsCaptionSizeColourAndDefaultFont) {
    create();
    EXPECT_EQ(window->objectName(), "Tavola");
    EXPECT_EQ(window->windowTitle(), "Gioca con le zarvoni di I grado       ");
    EXPECT_EQ(window->centralWidget()->size(), QSize(742, 554));
    EXPECT_EQ(window->font().families().value(0), "MS Sans Serif");
    EXPECT_EQ(window->font().pixelSize(), 11);
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_EQ(surfaceColourAt({300, 300}), QColor(0x01, 0x00, 0x62));
}

TEST_F(Window, ControlsAreStackedInTableOrderWithBoxAndButtonsOnTop) {
    create();
    QStringList topToBottom;
    const auto children = window->centralWidget()->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if ((*it)->isWidgetType())
            topToBottom << (*it)->objectName();
    }
    QStringList expected{"txtAnswer", "cmdNext", "cmdExit", "Command1"};
    for (const Expected &e : kControls) {
        if (!expected.contains(QLatin1String(e.name)))
            expected << QLatin1String(e.name);
    }
    EXPECT_EQ(topToBottom, expected);
}

TEST_F(Window, AnswerBoxHoldsFourCharactersAndHasAnAccessibleName) {
    create();
    EXPECT_EQ(answerBox()->maxLength(), 4);
    EXPECT_EQ(answerBox()->accessibleName(), "Risposta");
}

TEST_F(Window, ScreenReadersHearNamesThatSayWhatEachControlIs) {
    load();
    const std::pair<const char *, const char *> names[] = {
        {"Label6", "Risposte esatte"},
        {"lblScore", "Risposte esatte: 0"},
        {"lblScore1", "Risposte errate: 0"},
        {"lblScore2", "Risposte totali: 0"},
        {"lblconto", "Tempo restante: 00:15:00"},
        {"Image1", "Cronometro"},
        {"Lblsegno", "più"},
        {"Lblsegno2", "più"},
        {"Label4", "uguale"},
        {"cmdNext", "Nuovo calcolo"},
        {"cmdExit", "Exit"},
        {"txtAnswer", "Risposta"},
    };
    for (const auto &[control, name] : names)
        EXPECT_EQ(spoken(find<QWidget>(control)), QString::fromUtf8(name)) << control;
    window->Timer1_Timer();
    EXPECT_EQ(spoken(find("lblconto")), "Tempo restante: 00:14:59") << "the name follows the clock";

    // Controls that another one covers, and the reminder beside the answer box,
    // which has nothing to do with these exercises, are not there for a screen reader.
    QStringList heard;
    QAccessibleInterface *surface = QAccessible::queryAccessibleInterface(window->centralWidget());
    for (int i = 0; i < surface->childCount(); ++i) {
        QAccessibleInterface *child = surface->child(i);
        heard << child->object()->objectName();
        EXPECT_EQ(surface->indexOfChild(child), i);
    }
    for (const char *silent : {"Command1", "lblTime", "Label5"})
        EXPECT_FALSE(heard.contains(QLatin1String(silent))) << silent;
    EXPECT_EQ(heard.size(), 26) << heard.join(u' ').toStdString();
}

struct Report {
    const char *label;
    const char *control;
    std::function<std::unique_ptr<QAccessibleEvent>(QObject *)> make;
    bool minimised;
    bool told;
};

// Without it, GoogleTest prints a row as its raw bytes.
void PrintTo(const Report &r, std::ostream *os) {
    *os << r.label;
}

std::unique_ptr<QAccessibleEvent> plain(QObject *object, QAccessible::Event type) {
    return std::make_unique<QAccessibleEvent>(object, type);
}

class ScreenReaderIsTold : public WindowTest, public ::testing::WithParamInterface<Report> {};

// A screen reader answers each report with queries of its own: it is told of the
// focus and of what happens where the focus is, not of each caption, clock tick or
// change to a control that it reads anyway when the focus arrives.
TEST_P(ScreenReaderIsTold, OnlyWhatItCanSpeak) {
    const Report &row = GetParam();
    start();
    if (row.minimised)
        window->showMinimized();
    ASSERT_TRUE(answerBox()->hasFocus() || row.minimised);
    QObject *control = row.control == std::string("Tavola")
                           ? static_cast<QObject *>(window.get())
                           : window->findChild<QObject *>(QString::fromLatin1(row.control));
    ASSERT_NE(control, nullptr) << row.control;
    EXPECT_EQ(reachesScreenReader(*row.make(control)), row.told);

    const QAccessible::UpdateHandler installed = QAccessible::installUpdateHandler(nullptr);
    QAccessible::installUpdateHandler(installed);
    EXPECT_NE(installed, nullptr) << "the game filters what a screen reader is told";
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ScreenReaderIsTold,
    ::testing::Values(
        Report{"ClockTick", "lblconto",
               [](QObject *o) { return plain(o, QAccessible::NameChanged); }, false, false},
        Report{"NewCount", "lblScore",
               [](QObject *o) { return plain(o, QAccessible::NameChanged); }, false, false},
        Report{"VerdictBeforeTheFocus", "cmdNext",
               [](QObject *o) { return plain(o, QAccessible::DescriptionChanged); }, false, false},
        Report{"ExerciseInTheFocusedBox", "txtAnswer",
               [](QObject *o) { return plain(o, QAccessible::DescriptionChanged); }, false, true},
        Report{"FocusArrives", "cmdNext", [](QObject *o) { return plain(o, QAccessible::Focus); },
               false, true},
        Report{"TypedInTheFocusedBox", "txtAnswer",
               [](QObject *o) {
                   return std::make_unique<QAccessibleTextInsertEvent>(o, 0, QStringLiteral("5"));
               },
               false, true},
        Report{"LastMinuteNotice", "annuncio",
               [](QObject *o) { return plain(o, QAccessible::ObjectShow); }, false, true},
        Report{"TitleWhileShown", "Tavola",
               [](QObject *o) { return plain(o, QAccessible::NameChanged); }, false, true},
        Report{"TitleWhileMinimised", "Tavola",
               [](QObject *o) { return plain(o, QAccessible::NameChanged); }, true, false}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(Window, TimerTicksEveryHalfSecondPrecisely) {
    create();
    EXPECT_EQ(timer()->interval(), 500);
    EXPECT_EQ(timer()->timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(timer()->isActive()) << "created enabled; start-up stops it";
}

TEST_F(Window, PicturesAreDrawnAtTheirSizes) {
    create();
    const QPixmap stopwatch = find<QLabel>("Image1")->pixmap();
    EXPECT_EQ(stopwatch.deviceIndependentSize().toSize(), QSize(32, 32));
    PictureButton *next = nextButton();
    const qint64 disabledFace = next->currentPicture().cacheKey();
    next->setEnabled(true);
    const qint64 normalFace = next->currentPicture().cacheKey();
    next->setDown(true);
    const qint64 pressedFace = next->currentPicture().cacheKey();
    EXPECT_NE(disabledFace, normalFace);
    EXPECT_NE(pressedFace, normalFace);
    EXPECT_NE(pressedFace, disabledFace);
    EXPECT_FALSE(find<PictureButton>("cmdExit")->currentPicture().isNull());
}

TEST_F(Window, PointersAreCustomAndTheIconPointerShowsOverNextAndMessage) {
    create();
    const QCursor surface = window->centralWidget()->cursor();
    EXPECT_EQ(surface.shape(), Qt::BitmapCursor);
    EXPECT_EQ(surface.pixmap().deviceIndependentSize().toSize(), QSize(32, 32));
    const QCursor overNext = nextButton()->cursor();
    EXPECT_EQ(overNext.shape(), Qt::BitmapCursor);
    EXPECT_NE(overNext.pixmap().cacheKey(), surface.pixmap().cacheKey());
    EXPECT_EQ(find("lblMessage")->cursor().pixmap().cacheKey(), overNext.pixmap().cacheKey());
}

TEST_F(Window, MenuBarShowsOnlyNewGameWithItsTree) {
    create();
    const QList<QAction *> bar = window->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), "Nuovo  gioco");
    EXPECT_EQ(bar[0]->objectName(), "Next");

    const auto item = [this](const char *name) {
        return window->findChild<QAction *>(QString::fromLatin1(name));
    };
    const auto children = [this](const char *name) {
        QStringList names;
        for (QAction *action : window->findChild<QMenu *>(QString::fromLatin1(name))->actions())
            names << action->objectName();
        return names;
    };
    EXPECT_EQ(children("Next"), QStringList{"INFOMAZIONI"});
    EXPECT_EQ(children("INFOMAZIONI"), QStringList({"Ciao", "copy"}));
    EXPECT_EQ(children("Ciao"), QStringList{"Tmer"});
    EXPECT_EQ(children("copy"), QStringList{"cop"});
    for (const char *checked : {"INFOMAZIONI", "Ciao", "copy"})
        EXPECT_TRUE(item(checked)->isChecked()) << checked;
    for (const char *unchecked : {"Next", "Tmer", "cop"})
        EXPECT_FALSE(item(unchecked)->isChecked()) << unchecked;
    EXPECT_EQ(item("Tmer")->text(), "Se vuoi attivare il timer per determinare la durata del "
                                    "gioco clicca sotto l'orologio");
    EXPECT_EQ(item("cop")->text(), "Programma  freeware");
}

TEST_F(Window, TabVisitsExitNextAndAnswerSkippingADisabledNextAndTheCoveredCommand1) {
    start();
    const auto tabFrom = [](QWidget *from) {
        from->setFocus();
        QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Tab);
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    };
    QWidget *exit = find<QWidget>("cmdExit");
    EXPECT_EQ(tabFrom(exit), "txtAnswer") << "cmdNext is disabled during an exercise";
    nextButton()->setEnabled(true);
    EXPECT_EQ(tabFrom(exit), "cmdNext");
    EXPECT_EQ(tabFrom(nextButton()), "txtAnswer");
    // Command1 lies under "Nuovo calcolo": focused, it would hold the focus unseen.
    EXPECT_EQ(tabFrom(answerBox()), "cmdExit");
    EXPECT_EQ(find<QWidget>("Command1")->focusPolicy(), Qt::NoFocus);
}

TEST_F(Window, DecorationDoesNothingWhenClickedOrPressed) {
    start();
    const QString message = caption("lblMessage");
    const QStringList before = t.random.log;
    QTest::mouseClick(find<QWidget>("Image1"), Qt::LeftButton);
    QTest::mouseClick(find<QWidget>("Label4"), Qt::LeftButton);
    QWidget *command1 = find<QWidget>("Command1");
    command1->setFocus();
    QTest::keyClick(command1, Qt::Key_Space);
    EXPECT_EQ(t.random.log, before) << "no exercise was posed";
    EXPECT_EQ(caption("lblMessage"), message);
    EXPECT_EQ(t.end.count, 0);
    EXPECT_EQ(t.dialogs.calls.size(), 2u) << "only the name prompt and the greeting";
}

} // namespace
} // namespace zarvoni::testing
