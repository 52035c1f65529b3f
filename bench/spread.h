// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How every benchmark reports.

#include <benchmark/benchmark.h>

namespace zarvoni::bench {

// Wall time in microseconds, with the repetitions' minimum and maximum beside the median.
void withSpread(benchmark::internal::Benchmark *benchmark);

} // namespace zarvoni::bench
