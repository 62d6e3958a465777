// Receive throughput: the parser over about 1 MB of mixed device replies
// with garbage between them, fed in read-buffer-sized pieces.
#include "protocol/frame_parser.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

namespace {

using namespace tq50r::protocol;

constexpr std::size_t StreamBytes = 1 << 20;
constexpr std::size_t ReadBufferSize = 1024;
constexpr std::size_t MaxGarbageBytes = 16;
constexpr unsigned Seed = 50;

std::vector<std::uint8_t> mixedStream() {
    std::mt19937 random(Seed);
    const tq50r::eq::EqSetting setting = tq50r::eq::startSetting();
    const ParameterBlock block = buildParameterBlock(setting, true);
    const auto band = buildBandFrame(2, setting.bands[1]);
    const auto trim = buildTrimFrame(-6);
    const auto poll = buildRequest(CommandCode::Poll);
    std::vector<std::vector<std::uint8_t>> frames = {{block.begin(), block.end()},
                                                     {band.begin(), band.end()},
                                                     {trim.begin(), trim.end()},
                                                     {poll.begin(), poll.end()}};
    std::vector<std::uint8_t> stream;
    stream.reserve(StreamBytes + ParameterBlockSize + MaxGarbageBytes);
    std::uniform_int_distribution<std::size_t> pick(0, frames.size() - 1);
    std::uniform_int_distribution<std::size_t> garbageLength(0, MaxGarbageBytes);
    std::uniform_int_distribution<int> garbageByte(0x02, 0xFF); // never a start byte
    while (stream.size() < StreamBytes) {
        const auto& frame = frames[pick(random)];
        stream.insert(stream.end(), frame.begin(), frame.end());
        for (std::size_t n = garbageLength(random); n > 0; --n) {
            stream.push_back(static_cast<std::uint8_t>(garbageByte(random)));
        }
    }
    return stream;
}

void BM_FrameParserMixedStream(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = mixedStream();
    std::size_t frames = 0;
    FrameParser parser([&frames](FrameBytes frame, FrameSource) {
        ++frames;
        benchmark::DoNotOptimize(frame.data());
    });
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += ReadBufferSize) {
            const std::size_t n = std::min(ReadBufferSize, stream.size() - at);
            parser.feed(std::span<const std::uint8_t>(stream.data() + at, n), 1);
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["frames"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FrameParserMixedStream)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
