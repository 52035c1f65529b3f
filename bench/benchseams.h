// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Seams for the benchmarks: a fixed pseudo-random sequence, dialogs that answer
// at once, and a temporary record directory; and the way every benchmark reports.

#include "app/seams.h"
#include "records/posixfilesystem.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace zarvoni::bench {

// A fixed linear congruential sequence, so that every run draws the same exercises.
class SequenceRandom final : public Random {
public:
    double next() override;
    void reseed() override {}

private:
    unsigned m_state = 12345;
};

// The name prompt answers "Anna"; every message box answers its first button.
class QuietDialogs final : public Dialogs {
public:
    QString inputBox(const QString &, const QString &) override;
    int messageBox(const QString &, int buttons, const QString &) override;
};

class FixedTime final : public TimeSource {
public:
    QString shortDate() const override { return QStringLiteral("07/12/26"); }
};

class NoProgramEnd final : public ProgramEnd {
public:
    void endProgram() override {}
};

struct BenchSeams {
    BenchSeams();

    QTemporaryDir recordDir;
    SequenceRandom random;
    QuietDialogs dialogs;
    FixedTime time;
    NoProgramEnd end;
    records::PosixFileSystem fileSystem;
    Seams seams;
};

// Wall time in microseconds, with the repetitions' minimum and maximum beside the median.
void withSpread(benchmark::internal::Benchmark *benchmark);

} // namespace zarvoni::bench
