// Cost of redrawing the EQ curve: one band recomputed (what a plot drag does
// per mouse move), the total of five bands, and both together.
#include "eq/eq_setting.h"
#include "eq/response.h"

#include <benchmark/benchmark.h>

namespace {

using namespace tq50r::eq;

EqSetting busySetting() {
    EqSetting setting = startSetting();
    const int types[] = {2, 1, 1, 1, 0}; // low shelf, three peaks, high shelf
    const int gains[] = {12, 30, 20, 40, 6};
    for (int n = 1; n <= BandCount; ++n) {
        setting.band(n).type = types[n - 1];
        setting.band(n).gainIndex = gains[n - 1];
    }
    setting.band(5).freqIndex = 250;
    setting.trimDb = -4;
    return setting;
}

// Alternate between two gains so that every iteration computes a fresh curve.
void BM_BandRecompute(benchmark::State& state) {
    const EqSetting setting = busySetting();
    EqResponse response;
    response.updateAll(setting, false);
    EqBand band = setting.band(3);
    int i = 0;
    for (auto _ : state) {
        band.gainIndex = (i++ & 1) != 0 ? 10 : 38;
        response.updateBand(3, band, false);
        benchmark::DoNotOptimize(response.bands[2].data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BandRecompute);

void BM_TotalOfFiveBands(benchmark::State& state) {
    EqResponse response;
    response.updateAll(busySetting(), false);
    int trimDb = 0;
    for (auto _ : state) {
        trimDb = trimDb == 0 ? -6 : 0;
        response.updateTotal(trimDb);
        benchmark::DoNotOptimize(response.total.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TotalOfFiveBands);

void BM_BandRecomputeAndTotal(benchmark::State& state) {
    const EqSetting setting = busySetting();
    EqResponse response;
    response.updateAll(setting, false);
    EqBand band = setting.band(3);
    int i = 0;
    for (auto _ : state) {
        band.gainIndex = (i++ & 1) != 0 ? 10 : 38;
        response.updateBand(3, band, false);
        response.updateTotal(setting.trimDb);
        benchmark::DoNotOptimize(response.total.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BandRecomputeAndTotal);

} // namespace

BENCHMARK_MAIN();
