// The window talking to tq50r-sim on loopback, over TCP and over a pseudo-terminal:
//   click -> connected, click -> the editor shows the device's setting,
//   one drag step while connected, and the last mouse move of a fast drag -> the device holds it
//   (its Band report of that value is back).
// Times are taken around the event loop with a steady clock (manual time).
#include "app/app_test_support.h"
#include "app/marker_point.h"
#include "devices/connection.h"
#include "devices/device_list.h"
#include "devices/receive_path.h"
#include "editor/eq_editor.h"
#include "platform/network_scope.h"
#include "sim/sim_process.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

namespace {

using namespace tq50r;
using Clock = std::chrono::steady_clock;

// Longest wait for one step; a step that takes this long is an error, not a measurement.
constexpr int StepLimitMs = 5000;
constexpr int DragMoves = 20;
constexpr int DragStepPx = 6;
constexpr int WakeMs = 50;
constexpr int DragStepCount = 200;
// The simulator outlives every run of these benchmarks, repetitions included.
constexpr int SimulatorLifeS = 1800;

sim::testing::SimProcess& simulator() {
    static sim::testing::SimProcess process(
        {"--address", "auto", "--serial", "1", "--discovery", "none", "--no-stdin"},
        SimulatorLifeS);
    return process;
}

// Each iteration's time, for the median and the 90th percentile the goals speak of.
class Samples {
public:
    void add(benchmark::State& state, Clock::time_point start) {
        addSeconds(state, std::chrono::duration<double>(Clock::now() - start).count());
    }
    void addSeconds(benchmark::State& state, double seconds) {
        state.SetIterationTime(seconds);
        ms_.push_back(seconds * MsPerSecond);
    }
    void report(benchmark::State& state) {
        if (ms_.empty())
            return;
        std::sort(ms_.begin(), ms_.end());
        state.counters["median_ms"] = ms_[ms_.size() / 2];
        state.counters["p90_ms"] = ms_[ms_.size() * 9 / 10];
    }

private:
    static constexpr double MsPerSecond = 1000.0;
    std::vector<double> ms_;
};

template <typename Done> bool runUntil(Done done) {
    const QDeadlineTimer deadline(StepLimitMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    return done();
}

struct Window {
    app::testing::ScriptedWindow w;
    app::TForm1& form = *w.form;
    editor::EqEditor& eq = form.eqEditor();
    int tile = 0;
    int settings = 0;

    explicit Window(bool serial) {
        const auto& d = simulator().device(serial ? 2 : 1);
        form.deviceList().addDevice(QString::fromStdString(serial ? d.where : d.host),
                                    devices::UnknownMac,
                                    serial ? devices::KindUsb : devices::KindNetwork);
        form.deviceList().DeviceTimerTimer();
        // Connected after the editor's own handler: counts settings the editor has shown.
        QObject::connect(&form.receivePath(), &devices::ReceivePath::settingReported,
                         [this] { ++settings; });
    }
    bool connected() { return form.connection().connected(); }
    void click() {
        form.deviceList().DeviceMouseDown(tile, Qt::LeftButton);
        form.connection().DevicePanelClick();
    }
    // Ready for an edit: connected, the device's setting shown, settle pause over.
    bool idle() {
        return connected() && settings > 0 && !eq.isSettling() && !form.receivePath().isHeld();
    }
    // Disconnects (a click on the connected tile) and lets the settle pause end.
    bool disconnect() {
        if (connected())
            click();
        return runUntil([this] { return !connected() && !eq.isSettling(); }) &&
               runUntil([this] { return !form.receivePath().isHeld(); });
    }
};

void clickTo(benchmark::State& state, bool serial, bool untilSetting) {
    if (!simulator().ready()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    Window win(serial);
    Samples samples;
    for (auto _ : state) {
        if (!win.disconnect()) {
            state.SkipWithError("no disconnect");
            return;
        }
        const int before = win.settings;
        const auto start = Clock::now();
        win.click();
        const bool done = untilSetting ? runUntil([&] { return win.settings > before; })
                                       : runUntil([&] { return win.connected(); });
        samples.add(state, start);
        if (!done) {
            state.SkipWithError("no answer");
            return;
        }
    }
    samples.report(state);
}

void BM_ClickToConnectedTcp(benchmark::State& s) {
    clickTo(s, false, false);
}
void BM_ClickToConnectedSerial(benchmark::State& s) {
    clickTo(s, true, false);
}
void BM_ClickToSettingShownTcp(benchmark::State& s) {
    clickTo(s, false, true);
}
void BM_ClickToSettingShownSerial(benchmark::State& s) {
    clickTo(s, true, true);
}
BENCHMARK(BM_ClickToConnectedTcp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_ClickToConnectedSerial)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);
BENCHMARK(BM_ClickToSettingShownTcp)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);
BENCHMARK(BM_ClickToSettingShownSerial)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15);

// Connected and settled, with band 3's marker grabbed.
bool grabbed(benchmark::State& state, Window& win) {
    win.click();
    if (!simulator().ready() || !runUntil([&] { return win.idle(); })) {
        state.SkipWithError("not connected");
        return false;
    }
    const auto at = app::testing::markerPoint(win.eq, 3, win.form.setting().trimDb);
    if (!at) {
        state.SkipWithError("marker not found");
        return false;
    }
    win.eq.FFTDrawMouseDown(Qt::LeftButton, at->x(), at->y());
    return win.eq.selectedBand() == 2;
}

// The GUI thread's own time for one drag step while connected: the move (model, frame queued)
// and, once the device has answered, its report applied and the graph drawn. The wait for the
// answer sleeps in the event loop, so only the work is counted, not the line's pace.
double guiThreadCpuS() {
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

template <typename Done> bool sleepUntil(Done done) {
    const QDeadlineTimer deadline(StepLimitMs);
    QTimer wake; // bounds each sleep, so the deadline is looked at
    wake.start(WakeMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

void dragStep(benchmark::State& state, bool serial) {
    Window win(serial);
    if (!grabbed(state, win))
        return;
    const auto at = app::testing::markerPoint(win.eq, 3, win.form.setting().trimDb);
    int reports = 0;
    QObject::connect(&win.form.receivePath(), &devices::ReceivePath::bandReported, [&](int n) {
        if (n == 3)
            ++reports;
    });
    Samples samples;
    int i = 1; // the first step leaves the marker's spot, so it changes the band
    for (auto _ : state) {
        const int before = reports;
        const double cpuStart = guiThreadCpuS();
        // Between the marker's spot and one next to it: every step changes the band.
        win.eq.FFTDrawMouseMove(at->x() + (i % 2) * DragStepPx, at->y() - (i % 2) * DragStepPx);
        const bool answered = sleepUntil([&] { return reports > before; });
        QCoreApplication::processEvents(QEventLoop::AllEvents); // the repaint it asked for
        samples.addSeconds(state, guiThreadCpuS() - cpuStart);
        if (!answered) {
            state.SkipWithError("the device did not report the step");
            return;
        }
        ++i;
    }
    win.eq.FFTDrawMouseUp();
    samples.report(state);
}
void BM_DragStepConnectedTcp(benchmark::State& s) {
    dragStep(s, false);
}
void BM_DragStepConnectedSerial(benchmark::State& s) {
    dragStep(s, true);
}
// Each step waits for the device's answer (about one channel pause), so the count is bounded.
BENCHMARK(BM_DragStepConnectedTcp)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(DragStepCount);
BENCHMARK(BM_DragStepConnectedSerial)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(DragStepCount);

// A fast drag (one move per pass of the event loop), then the time until the device's report says
// it holds the last position.
void dragToDevice(benchmark::State& state, bool serial) {
    Window win(serial);
    if (!grabbed(state, win))
        return;
    const auto at = app::testing::markerPoint(win.eq, 3, win.form.setting().trimDb);
    // The band as the device last reported it: it holds `last` once its report says so.
    eq::EqBand reported;
    eq::EqBand last;
    QObject::connect(&win.form.receivePath(), &devices::ReceivePath::bandReported, [&](int n) {
        if (n == 3)
            reported = win.form.setting().band(3);
    });
    const auto holdsLast = [&] {
        return reported.freqIndex == last.freqIndex && reported.gainIndex == last.gainIndex;
    };
    Samples samples;
    int direction = 1;
    for (auto _ : state) {
        for (int m = 1; m < DragMoves; ++m) {
            const int step = direction > 0 ? m : DragMoves - m;
            win.eq.FFTDrawMouseMove(at->x() + step * DragStepPx, at->y() - step);
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        const int lastStep = direction > 0 ? DragMoves : 0;
        win.eq.FFTDrawMouseMove(at->x() + lastStep * DragStepPx, at->y() - lastStep);
        last = win.form.setting().band(3);
        const auto start = Clock::now();
        const bool done = runUntil(holdsLast);
        samples.add(state, start);
        if (!done) {
            state.SkipWithError("the last value never came back");
            return;
        }
        direction = -direction;
    }
    win.eq.FFTDrawMouseUp();
    samples.report(state);
}
void BM_LastMoveToDeviceTcp(benchmark::State& s) {
    dragToDevice(s, false);
}
void BM_LastMoveToDeviceSerial(benchmark::State& s) {
    dragToDevice(s, true);
}
BENCHMARK(BM_LastMoveToDeviceTcp)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_LastMoveToDeviceSerial)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(30);

} // namespace

int main(int argc, char** argv) {
    // No benchmark ever searches a real network.
    tq50r::platform::restrictToLoopback();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
