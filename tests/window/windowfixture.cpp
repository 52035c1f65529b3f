// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowfixture.h"

#include <QApplication>
#include <QTest>

namespace zarvoni::testing {

void failOnUnscriptedQuestions(ScriptedDialogs &dialogs) {
    dialogs.unscriptedQuestion = [](const QString &prompt) {
        ADD_FAILURE() << "unscripted question: " << prompt.toStdString();
    };
}

Tavola &WindowTest::create() {
    window = std::make_unique<Tavola>(*seams);
    return *window;
}

Tavola &WindowTest::load(const QString &name) {
    create();
    t.dialogs.inputs.push_back(name);
    window->Form_Load();
    return *window;
}

Tavola &WindowTest::start(const QString &name) {
    load(name);
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_TRUE(QTest::qWaitFor([this] { return answerBox()->hasFocus(); }))
        << "the first exercise puts the focus in the answer box";
    return *window;
}

void WindowTest::answer(const QString &text) {
    QTest::keyClicks(static_cast<QWidget *>(nullptr), text);
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Return);
}

void WindowTest::nextExercise() {
    ASSERT_TRUE(nextButton()->hasFocus());
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Return);
    ASSERT_TRUE(answerBox()->hasFocus());
}

QString WindowTest::spoken(QObject *control, QAccessible::Text text) {
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    return accessible ? accessible->text(text) : QString();
}

QColor WindowTest::surfaceColourAt(QPoint point) const {
    // The grab holds device pixels: scale the point when the window runs above scale 1.
    const QImage image = window->centralWidget()->grab().toImage();
    return image.pixelColor((QPointF(point) * image.devicePixelRatio()).toPoint());
}

} // namespace zarvoni::testing
