// SPDX-License-Identifier: GPL-3.0-or-later
// Micro-benchmarks of the window on the offscreen platform: posing an exercise
// (gradient and repaint) against one full-window fill, and checking an answer
// typed into the real answer box.

#include "app/application.h"
#include "app/captionlabel.h"
#include "app/controltable.h"
#include "app/tavola.h"
#include "spread.h"
#include "window/doubles.h"

#include <QApplication>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace zarvoni::bench {

namespace {

// Counts the paint events a widget receives, so that a benchmark proves that its
// loop repainted the window and did not merely queue an update.
class PaintCounter final : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    benchmark::IterationCount count = 0;
};

// Delivers what the event loop would on its next turn: the queued update
// requests, which repaint the window and flush it to the screen.
[[gnu::noinline]] void paintPending() {
    QCoreApplication::sendPostedEvents();
}

// Enter on the answer box, as the pupil presses it (a function of its own, so that
// a profiler can single it out).
[[gnu::noinline]] void pressEnter(QWidget *answerBox) {
    QTest::keyClick(answerBox, Qt::Key_Return);
}

QSize clientSize() {
    return QSize(kClientArea.width / kTwipsPerPixel, kClientArea.height / kTwipsPerPixel);
}

// The reference: a widget the size of the window's client area that draws one image.
class FillWidget final : public QWidget {
public:
    FillWidget() : m_image(clientSize(), QImage::Format_RGB32) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(clientSize());
        m_image.fill(Qt::white);
    }
    void fill(QColor colour) {
        m_image.fill(colour);
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override {
        QPainter painter(this);
        painter.drawImage(event->rect(), m_image, event->rect());
    }

private:
    QImage m_image;
};

// A game past its start-up, shown, with its first exercise posed. The clock is
// stopped so that no tick lands inside a measurement.
struct ShownGame {
    ShownGame() {
        seams.dialogs.inputs.push_back(QStringLiteral("Anna"));
        window.Form_Load();
        window.findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
        window.show();
        window.activateWindow();
        ready = QTest::qWaitForWindowActive(&window) &&
                QTest::qWaitFor([this] { return answerBox->hasFocus(); });
        paintPending();
    }

    testing::TestSeams seams;
    Tavola window{seams.seams};
    QLineEdit *answerBox = window.findChild<QLineEdit *>(QStringLiteral("txtAnswer"));
    CaptionLabel *message = window.findChild<CaptionLabel *>(QStringLiteral("lblMessage"));
    bool ready = false;
};

void poseExercise(benchmark::State &state) {
    ShownGame game;
    if (!game.ready) {
        state.SkipWithError("the window did not pose its first exercise");
        return;
    }
    PaintCounter paints;
    game.window.centralWidget()->installEventFilter(&paints);
    for (auto _ : state) {
        game.window.cmdNext_Click();
        paintPending();
    }
    if (paints.count < state.iterations())
        state.SkipWithError("the window was not repainted after each exercise");
}

void fillReference(benchmark::State &state) {
    FillWidget widget;
    widget.show();
    if (!QTest::qWaitForWindowExposed(&widget)) {
        state.SkipWithError("the reference widget was not shown");
        return;
    }
    paintPending();
    PaintCounter paints;
    widget.installEventFilter(&paints);
    const QColor colours[] = {Qt::darkBlue, Qt::darkGreen};
    int turn = 0;
    for (auto _ : state) {
        widget.fill(colours[turn ^= 1]);
        paintPending();
    }
    if (paints.count < state.iterations())
        state.SkipWithError("the reference widget was not repainted");
}

// Presses Enter on an answer typed into the answer box (right for argument 0,
// wrong for 1): the key filter sees the key and gives the verdict. Posing the
// exercise, typing the digits and the repaint after the verdict (one for both)
// are not timed.
void checkAnswer(benchmark::State &state) {
    const bool wrong = state.range(0) != 0;
    ShownGame game;
    if (!game.ready) {
        state.SkipWithError("the window did not pose its first exercise");
        return;
    }
    const int before = game.window.stato().totale();
    for (auto _ : state) {
        state.PauseTiming();
        game.window.cmdNext_Click();
        QTest::keyClicks(game.answerBox,
                         QString::number(game.window.stato().risultato + (wrong ? 1 : 0)));
        state.ResumeTiming();

        pressEnter(game.answerBox);

        state.PauseTiming();
        const bool judged = game.message->caption().startsWith(wrong ? u'S' : u'E');
        paintPending();
        state.ResumeTiming();
        if (!judged) {
            state.SkipWithError("Enter gave no verdict");
            break;
        }
    }
    if (game.window.stato().totale() - before != state.iterations())
        state.SkipWithError("not every answer was counted");
}

// Types one digit into the answer box: the key filter lets it through and the box
// shows it. Emptying a full box is not timed.
void typeDigit(benchmark::State &state) {
    ShownGame game;
    if (!game.ready) {
        state.SkipWithError("the window did not pose its first exercise");
        return;
    }
    for (auto _ : state) {
        if (game.answerBox->text().size() >= game.answerBox->maxLength()) {
            state.PauseTiming();
            game.answerBox->clear();
            paintPending();
            state.ResumeTiming();
        }
        QTest::keyClick(game.answerBox, '7');
    }
    if (!game.answerBox->text().startsWith(u'7'))
        state.SkipWithError("the digit did not reach the answer box");
}

} // namespace

BENCHMARK(poseExercise)->Apply(withSpread);
BENCHMARK(fillReference)->Apply(withSpread);
BENCHMARK(checkAnswer)->Arg(0)->Arg(1)->ArgName("wrong")->Apply(withSpread);
BENCHMARK(typeDigit)->Apply(withSpread);

} // namespace zarvoni::bench

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    zarvoni::prepareApplication();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
