// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/spoken.h"

#include "game/numberrules.h"

namespace zarvoni {

namespace {

const QString kPlus = QStringLiteral(" più ");
const QString kEquals = QStringLiteral(" uguale ");
const QString kMinus = QStringLiteral("meno ");
const QString kQuestion = QStringLiteral(". Quanto vale %1?");
const QString kRight = QStringLiteral("Esatto, la risposta giusta è %1. Sei forte!");
const QString kWrong = QStringLiteral("Sbagliato, la risposta giusta era %1.");
const QString kCounters = QStringLiteral(" Risposte esatte %1, errate %2, totali %3.");

QString spokenNumber(int value) {
    return value < 0 ? kMinus + formatPlain(-value) : formatPlain(value);
}

// "X" as it is; a coefficient form such as "3x" as "3 x", so that the letter is
// not read as part of the number.
QString spokenUnknown(const QString &caption) {
    return caption.size() > 1 ? caption.chopped(1) + u' ' + caption.back() : caption;
}

} // namespace

QString spokenExercise(const Exercise &exercise) {
    const std::array<int, 4> values{exercise.a, exercise.b, exercise.c, exercise.d};
    std::array<QString, 4> terms;
    for (std::size_t i = 0; i < terms.size(); ++i) {
        terms[i] = static_cast<int>(i) == exercise.k ? spokenUnknown(exercise.captions[i])
                                                     : spokenNumber(values[i]);
    }
    // Without its "+" the fourth term's own minus sign stands for the operator.
    const QString secondOperator = exercise.secondPlusVisible ? kPlus : QStringLiteral(" ");
    const QString &unknown = exercise.captions[static_cast<std::size_t>(exercise.k)];
    return terms[0] + kPlus + terms[1] + kEquals + terms[2] + secondOperator + terms[3] +
           kQuestion.arg(unknown.isEmpty() ? QString() : QString(unknown.back()));
}

QString spokenVerdict(bool correct, const GameState &state) {
    const QString answer = spokenNumber(state.risultato);
    return (correct ? kRight : kWrong).arg(answer) + kCounters.arg(formatPlain(state.esatte),
                                                                   formatPlain(state.errate),
                                                                   formatPlain(state.totale()));
}

} // namespace zarvoni
