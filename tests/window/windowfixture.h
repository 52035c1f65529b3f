// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window with scripted seams and a temporary record directory, and helpers to
// reach its controls by name and to play it as a pupil does.

#include "app/captionlabel.h"
#include "app/picturebutton.h"
#include "app/tavola.h"
#include "window/doubles.h"

#include <QAccessible>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace zarvoni::testing {

// A question that the test scripted no answer for fails the test.
void failOnUnscriptedQuestions(ScriptedDialogs &dialogs);

class WindowTest : public ::testing::Test {
protected:
    WindowTest() { failOnUnscriptedQuestions(t.dialogs); }

    // Creates the window and runs its start-up with the given name, without showing it.
    Tavola &load(const QString &name = QStringLiteral("Anna"));
    // load(), then shows the window and waits for its first exercise.
    Tavola &start(const QString &name = QStringLiteral("Anna"));
    // Creates the window only, as it is before start-up.
    Tavola &create();

    template <class T = CaptionLabel> T *find(const char *name) const {
        T *found = window->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString caption(const char *name) const { return find(name)->caption(); }
    QLineEdit *answerBox() const { return find<QLineEdit>("txtAnswer"); }
    PictureButton *nextButton() const { return find<PictureButton>("cmdNext"); }
    QTimer *timer() const { return find<QTimer>("Timer1"); }

    // Types text into the focused widget and presses Enter, as a pupil would.
    void answer(const QString &text);
    void answerRight() { answer(QString::number(window->stato().risultato)); }
    void answerWrong() { answer(QString::number(window->stato().risultato + 1)); }
    // Presses Enter on the focused "Nuovo calcolo" button.
    void nextExercise();

    // The colour drawn at a point of the window's surface.
    QColor surfaceColourAt(QPoint point) const;

    // What a screen reader reads of a control: its name or its description.
    static QString spoken(QObject *control, QAccessible::Text text = QAccessible::Name);

    TestSeams t;
    // The seams the window is created with: t's, unless a test gives others.
    const Seams *seams = &t.seams;
    std::unique_ptr<Tavola> window;
};

} // namespace zarvoni::testing
