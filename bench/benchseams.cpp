// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchseams.h"

#include "app/messageboxcode.h"

#include <algorithm>
#include <vector>

namespace zarvoni::bench {

double SequenceRandom::next() {
    m_state = m_state * 1103515245u + 12345u;
    return double((m_state >> 8) & 0xFFFF) / 65536.0;
}

QString QuietDialogs::inputBox(const QString &, const QString &) {
    return QStringLiteral("Anna");
}

int QuietDialogs::messageBox(const QString &, int buttons, const QString &) {
    return static_cast<int>(decodeMessageBoxCode(buttons).buttons.front());
}

BenchSeams::BenchSeams() : seams{random, dialogs, time, end, fileSystem, recordDir.path()} {}

void withSpread(benchmark::internal::Benchmark *benchmark) {
    const auto minimum = [](const std::vector<double> &values) {
        return *std::min_element(values.begin(), values.end());
    };
    const auto maximum = [](const std::vector<double> &values) {
        return *std::max_element(values.begin(), values.end());
    };
    benchmark->UseRealTime()
        ->Unit(benchmark::kMicrosecond)
        ->ComputeStatistics("min", minimum)
        ->ComputeStatistics("max", maximum);
}

} // namespace zarvoni::bench
