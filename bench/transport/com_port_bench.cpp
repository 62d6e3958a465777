// Serial port timings on a pseudo-terminal pair: a 17-byte frame from Write to the peer, opening
// and closing the port, and the GUI-thread time one receive event costs.
#include "platform/device_holders.h"
#include "transport/com_port.h"
#include "transport/receive_loops.h"
#include "transport/test_support.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

using namespace tq50r::transport;
using tq50r::transport::testing::PtyPair;
using tq50r::transport::testing::pumpUntil;

namespace {

constexpr std::size_t kFrameSize = 17;
const std::vector<std::uint8_t> kFrame(kFrameSize, 0x5A);
// Long enough for the event thread to post its event before the GUI thread looks.
constexpr auto kPostSettle = std::chrono::milliseconds(2);

// Opens `port` on the pseudo-terminal with a receive handler that reads what each event
// announces and adds the byte count to `fed`, as the window's receive handler feeds its parser.
void openCountingPort(TComPort& port, const PtyPair& pty, std::size_t& fed) {
    port.setPort(pty.path());
    port.OnRxChar = [&fed](TComPort& sender, int count) {
        receiveFromPort(sender, count,
                        [&fed](std::span<const std::uint8_t> s) { fed += s.size(); });
    };
    port.Open();
}

void BM_WriteFrameToPeer(benchmark::State& state) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.path());
    port.Open();
    std::uint64_t bytes = 0;
    for (auto _ : state) {
        port.Write(kFrame.data(), static_cast<int>(kFrame.size()));
        const auto got = pty.receive(kFrameSize);
        bytes += got.size();
        if (got.size() != kFrameSize) {
            state.SkipWithError("frame did not arrive");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteFrameToPeer)->Unit(benchmark::kMicrosecond);

// Open and Close of a free port: the claim (lock, /proc walk for other holders), line settings,
// the event thread's start and stop. The serial scan pays this once per probed port.
void BM_OpenAndClose(benchmark::State& state) {
    PtyPair pty;
    TComPort port;
    port.setPort(pty.path());
    for (auto _ : state) {
        port.Open();
        port.Close();
    }
}
BENCHMARK(BM_OpenAndClose)->Unit(benchmark::kMicrosecond);

// The part of Open that looks through /proc for other holders of the port.
void BM_HolderScan(benchmark::State& state) {
    PtyPair pty;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tq50r::platform::heldByAnotherProcess(pty.slave()));
    }
}
BENCHMARK(BM_HolderScan)->Unit(benchmark::kMicrosecond);

// Manual time: only the event-loop pass that runs the delivered receive event (the handler
// reads the bytes and hands them to a sink, as the window's receive handler does).
void BM_ReceiveEventOnGuiThread(benchmark::State& state) {
    PtyPair pty;
    TComPort port;
    std::size_t fed = 0;
    openCountingPort(port, pty, fed);
    for (auto _ : state) {
        const std::size_t before = fed;
        pty.send(kFrame);
        std::this_thread::sleep_for(kPostSettle);
        const auto start = std::chrono::steady_clock::now();
        QCoreApplication::processEvents();
        const auto end = std::chrono::steady_clock::now();
        if (fed == before && !pumpUntil([&] { return fed > before; })) {
            state.SkipWithError("receive event did not arrive");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["bytes_per_event"] =
        benchmark::Counter(static_cast<double>(fed) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ReceiveEventOnGuiThread)
    ->UseManualTime()
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond);

// From the peer's write until the handler has the bytes: the event thread's hop included.
void BM_PeerToReceiveHandler(benchmark::State& state) {
    PtyPair pty;
    TComPort port;
    std::size_t fed = 0;
    openCountingPort(port, pty, fed);
    for (auto _ : state) {
        const std::size_t target = fed + kFrameSize;
        pty.send(kFrame);
        if (!pumpUntil([&] { return fed >= target; })) {
            state.SkipWithError("receive event did not arrive");
            break;
        }
    }
}
BENCHMARK(BM_PeerToReceiveHandler)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
