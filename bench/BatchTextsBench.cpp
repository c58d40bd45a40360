// The run's texts as the progress sheet redraws them: the bottom line and the
// batch line with their coloured numbers, and the refresh rule that decides
// whether to draw at all.
//
//   build/bench/velloran_bench --benchmark_filter=BatchTexts

#include "batch/run/BatchRunState.h"
#include "batch/run/BatchTexts.h"
#include "batch/run/BottomLineThrottle.h"

#include <benchmark/benchmark.h>

namespace {

BatchRunState runningState()
{
    BatchRunState state;
    state.runSize = 10000;
    state.handled = 4321;
    state.succeeded = 4300;
    state.failed = 21;
    state.startedAt = QDateTime::currentDateTimeUtc().addSecs(-754);
    return state;
}

void BatchTextsBottomAndBatchLines(benchmark::State& loop)
{
    const BatchRunState state = runningState();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto _ : loop) {
        benchmark::DoNotOptimize(BatchTexts::bottomLine(state, now));
        benchmark::DoNotOptimize(BatchTexts::batchLine(state));
    }
}
BENCHMARK(BatchTextsBottomAndBatchLines);

// A progress signal that brings nothing new to draw costs one comparison.
void BatchTextsThrottleWithNothingNew(benchmark::State& loop)
{
    BottomLineThrottle throttle;
    const BottomLineThrottle::Figures figures { 43, 21, 754 };
    throttle.shouldRefresh(0, figures);
    qint64 now = 0;
    for (auto _ : loop)
        benchmark::DoNotOptimize(throttle.shouldRefresh(++now, figures));
}
BENCHMARK(BatchTextsThrottleWithNothingNew);

} // namespace
