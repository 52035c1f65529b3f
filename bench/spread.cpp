// SPDX-License-Identifier: GPL-3.0-or-later
#include "spread.h"

#include <algorithm>
#include <vector>

namespace zarvoni::bench {

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
