// The window under a discovery flood: 20,000 datagrams per second for 10 s on each of the three
// discovery ports, from loopback senders, while the EQ graph is dragged. Reports the median
// drag step (event handling included), the resident memory before and after, and whether the
// device lists came out right. Loopback only; every sender stops by itself.
#include "../editor/drag_support.h"
#include "app/main_window.h"
#include "base/unique_fd.h"
#include "devices/device_list.h"
#include "devices/discovery.h"
#include "editor/eq_editor.h"
#include "plot/fft_draw_widget.h"

#include <QApplication>
#include <QUdpSocket>
#include <algorithm>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <netinet/in.h>
#include <set>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int DatagramsPerSecond = 20000;
constexpr auto FloodLength = std::chrono::seconds(10);
constexpr auto SettleTime = std::chrono::seconds(1);
constexpr auto Batch = std::chrono::milliseconds(1);
constexpr int PerBatch = DatagramsPerSecond / 1000;
constexpr int SourceCount = 5; // 127.0.3.2 ... 127.0.3.6
constexpr std::uint32_t FirstSource = 0x7F000302;

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Sends `payload` to 127.0.0.1:port from the sources in turn, PerBatch datagrams per
// millisecond, until FloodLength has passed.
void flood(std::uint16_t port, std::string payload) {
    std::vector<tq50r::base::UniqueFd> sockets;
    for (int i = 0; i < SourceCount; ++i) {
        tq50r::base::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(FirstSource + static_cast<std::uint32_t>(i));
        if (fd && ::bind(fd.get(), reinterpret_cast<sockaddr*>(&from), sizeof from) == 0)
            sockets.push_back(std::move(fd));
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto end = Clock::now() + FloodLength;
    auto next = Clock::now();
    std::size_t turn = 0;
    while (!sockets.empty() && Clock::now() < end) {
        for (int i = 0; i < PerBatch; ++i, ++turn)
            (void)::sendto(sockets[turn % sockets.size()].get(), payload.data(), payload.size(),
                           MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&to), sizeof to);
        next += Batch;
        std::this_thread::sleep_until(next);
    }
}

void BM_DragStepDuringFlood(benchmark::State& state) {
    tq50r::app::AppOptions options;
    options.loopbackOnly = true;
    options.discovery = {true, 0, 0, 0};
    options.serialPortLister = [] { return std::optional<std::vector<std::string>>{}; };
    // Free ports of our own: taken by the window, then told to the senders.
    for (std::uint16_t* port : {&options.discovery.port8000, &options.discovery.ssdpPort,
                                &options.discovery.modulePort}) {
        QUdpSocket probe;
        probe.bind(QHostAddress::LocalHost, 0);
        *port = probe.localPort();
    }
    tq50r::app::TForm1 form(options);
    form.show();
    QApplication::processEvents();
    tq50r::editor::EqEditor& editor = form.eqEditor();
    tq50r::bench::grabMarker(editor, 2);

    const long rssBefore = residentKb();
    long rssSettled = 0; // one second into the flood: caches and buffers have their size
    std::vector<double> stepsMs;
    for (auto _ : state) {
        std::jthread a(flood, options.discovery.port8000, std::string(40, '\x01'));
        std::jthread b(flood, options.discovery.ssdpPort,
                       std::string("NOTIFY * HTTP/1.1\r\nNT: urn:upnp_MDL-S2E:1\r\n\r\n"));
        std::jthread c(flood, options.discovery.modulePort, std::string(30, 'm'));
        const int xs[] = {300, 420};
        const int ys[] = {60, 110};
        int i = 0;
        const auto end = Clock::now() + FloodLength;
        const auto settled = Clock::now() + SettleTime;
        while (Clock::now() < end) {
            if (rssSettled == 0 && Clock::now() >= settled)
                rssSettled = residentKb();
            const auto start = Clock::now();
            QApplication::processEvents();
            editor.FFTDrawMouseMove(xs[i], ys[i]);
            editor.plot()->repaint();
            stepsMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            i ^= 1;
        }
        state.SetIterationTime(FloodLength.count());
    }
    editor.FFTDrawMouseUp();
    for (int i = 0; i < 50; ++i)
        QApplication::processEvents();

    std::sort(stepsMs.begin(), stepsMs.end());
    const auto& list = form.deviceList();
    std::set<QString> keys(list.deviceKeys().begin(), list.deviceKeys().end());
    const bool listsRight = list.size() == SourceCount &&
                            keys.size() == static_cast<std::size_t>(SourceCount) &&
                            list.deviceEntries().size() == list.deviceTiles().size() &&
                            list.deviceAges().size() == list.deviceTiles().size();
    state.counters["steps"] = static_cast<double>(stepsMs.size());
    state.counters["median_step_ms"] = stepsMs.empty() ? 0 : stepsMs[stepsMs.size() / 2];
    state.counters["p99_step_ms"] = stepsMs.empty() ? 0 : stepsMs[stepsMs.size() * 99 / 100];
    state.counters["rss_before_kb"] = static_cast<double>(rssBefore);
    state.counters["rss_1s_kb"] = static_cast<double>(rssSettled);
    state.counters["rss_after_kb"] = static_cast<double>(residentKb());
    state.counters["devices"] = list.size();
    state.counters["lists_right"] = listsRight ? 1 : 0;
    if (!listsRight)
        state.SkipWithError("device lists wrong after the flood");
}
BENCHMARK(BM_DragStepDuringFlood)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    return tq50r::bench::runWidgetBenchmarks(argc, argv);
}
