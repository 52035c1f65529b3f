// SPDX-License-Identifier: GPL-3.0-or-later
// The teacher's sheet of a full lab: 100,000 results lines from three computers,
// each in its own month's file, every line checked, merged by time and written
// as CSV, as zarvoni-risultati does once the lists are read (budget: 1 s).

#include "records/resultline.h"
#include "sheet/resultsheet.h"
#include "spread.h"

#include <QTimeZone>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace zarvoni;

constexpr int kLines = 100'000;
constexpr int kComputers = 3;

std::vector<records::ResultSegment> labLists() {
    std::vector<records::ResultSegment> lists(kComputers);
    const QDateTime start(QDate(2026, 12, 1), QTime(8, 0), QTimeZone(3600));
    for (int i = 0; i < kLines; ++i) {
        const int computer = i % kComputers;
        const records::ResultLine line{
            start.addSecs(i * 7),
            QStringLiteral("PC-%1").arg(computer + 1, 2, 10, QChar(u'0')),
            {QStringLiteral("Alunno %1 Niccolò").arg(i % 97), i % 30, i % 7, i % 30 + i % 7,
             i % 50 == 0, records::GameEnding::TimeUp},
            {}};
        lists[std::size_t(computer)].path =
            QStringLiteral("/lab/pc-%1/risultati/2026-12.txt").arg(computer + 1);
        lists[std::size_t(computer)].bytes += records::encodeResultLine(line);
    }
    return lists;
}

void mergeLab(benchmark::State &state) {
    const std::vector<records::ResultSegment> lists = labLists();
    for (auto _ : state) {
        sheet::ResultSheet sheet;
        for (const records::ResultSegment &list : lists)
            sheet.add(list);
        const QByteArray csv = sheet.csv({}, {});
        if (sheet.lines() != kLines || !sheet.problems().isEmpty()) {
            state.SkipWithError("not every line was merged");
            break;
        }
        benchmark::DoNotOptimize(csv.data());
    }
    state.counters["lines"] = kLines;
}

} // namespace

BENCHMARK(mergeLab)->Apply(zarvoni::bench::withSpread);
BENCHMARK_MAIN();
