#include "tools/plot-render/demo_scene.h"

#include "plot/core/main_graph.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace tq50r::plot::demo {

namespace {
constexpr double ShelfSlope = 1.0;
constexpr double DbPerDecadeAmplitude = 20.0;
constexpr double DbPerDecadeGain = 40.0; // A = 10^(gain / 40)

struct Biquad {
    double b0, b1, b2, a0, a1, a2;
};

Biquad design(const Band& band) {
    const double a = std::pow(10.0, band.gainDb / DbPerDecadeGain);
    const double w0 = 2.0 * std::numbers::pi * band.freqHz / SampleRateHz;
    const double cw = std::cos(w0);
    const double sw = std::sin(w0);
    switch (band.kind) {
    case Band::Kind::Peak: {
        const double alpha = sw / (2.0 * band.q);
        return {1 + alpha * a, -2 * cw, 1 - alpha * a, 1 + alpha / a, -2 * cw, 1 - alpha / a};
    }
    case Band::Kind::LowShelf:
    case Band::Kind::HighShelf: {
        const double alpha = sw / 2.0 * std::sqrt((a + 1 / a) * (1 / ShelfSlope - 1) + 2);
        const double k = 2.0 * std::sqrt(a) * alpha;
        if (band.kind == Band::Kind::LowShelf) {
            return {a * ((a + 1) - (a - 1) * cw + k), 2 * a * ((a - 1) - (a + 1) * cw),
                    a * ((a + 1) - (a - 1) * cw - k), (a + 1) + (a - 1) * cw + k,
                    -2 * ((a - 1) + (a + 1) * cw),    (a + 1) + (a - 1) * cw - k};
        }
        return {a * ((a + 1) + (a - 1) * cw + k), -2 * a * ((a - 1) + (a + 1) * cw),
                a * ((a + 1) + (a - 1) * cw - k), (a + 1) - (a - 1) * cw + k,
                2 * ((a - 1) - (a + 1) * cw),     (a + 1) - (a - 1) * cw - k};
    }
    }
    return {1, 0, 0, 1, 0, 0};
}
} // namespace

const std::array<Band, 5>& Bands() {
    static const std::array<Band, 5> bands{{
        {Band::Kind::LowShelf, 100.0, 4.0, 0.7, false},
        {Band::Kind::Peak, 1000.0, 6.0, 1.4, false},
        {Band::Kind::Peak, 3000.0, 0.0, 1.0, true},
        {Band::Kind::Peak, 6000.0, 0.0, 1.0, false},
        {Band::Kind::HighShelf, 12000.0, 0.0, 0.7, false},
    }};
    return bands;
}

double BandResponseDb(const Band& band, double freqHz) {
    const Biquad f = design(band);
    const std::complex<double> z =
        std::polar(1.0, -2.0 * std::numbers::pi * freqHz / SampleRateHz); // z^-1
    const std::complex<double> num = f.b0 + f.b1 * z + f.b2 * z * z;
    const std::complex<double> den = f.a0 + f.a1 * z + f.a2 * z * z;
    return DbPerDecadeAmplitude * std::log10(std::abs(num / den));
}

double GridFrequencyHz(int i) {
    return std::pow(GridTopHz, static_cast<double>(i) / CurvePoints);
}

std::vector<double> CurveDb() {
    std::vector<double> curve(CurvePoints, 0.0);
    for (int i = 0; i < CurvePoints; ++i) {
        for (const auto& band : Bands()) {
            curve[static_cast<std::size_t>(i)] += BandResponseDb(band, GridFrequencyHz(i));
        }
    }
    return curve;
}

double MarkerX(double freqHz) {
    return CurvePoints * std::log10(freqHz) / std::log10(GridTopHz);
}

void DrawScene(TFFTDraw& graph) {
    configureMainWindowGraph(graph);
    const auto& bands = Bands();
    for (std::size_t n = 0; n < bands.size(); ++n) {
        graph.DrawBlock(bands[n].gainDb, MarkerX(bands[n].freqHz), ColorWhite, static_cast<int>(n),
                        bands[n].hidden);
    }
    const auto curve = CurveDb();
    graph.FFTDraw(curve.data(), CurvePoints, MainGraphCurveIndex, MainGraphCurveColor,
                  TPlotStyle::Line);
}

} // namespace tq50r::plot::demo
