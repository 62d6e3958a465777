// A demonstration scene for the main window's graph: a +6 dB peak at 1 kHz plus a +4 dB low
// shelf at 100 Hz, evaluated from textbook biquad designs at 48 kHz on the plot's 1024-point
// log-frequency grid, and five band markers of which one is hidden.
#pragma once

#include "plot/core/fft_draw.h"

#include <array>
#include <vector>

namespace tq50r::plot::demo {

inline constexpr double SampleRateHz = 48000.0;
inline constexpr double GridTopHz = 24000.0;
inline constexpr int CurvePoints = 1024;

struct Band {
    enum class Kind { Peak, LowShelf, HighShelf } kind;
    double freqHz;
    double gainDb;
    double q;
    bool hidden;
};

// The five bands of the scene: the peak, the shelf, two flat bands and a hidden one.
const std::array<Band, 5>& Bands();

// Magnitude in dB of one band's biquad at freqHz.
double BandResponseDb(const Band& band, double freqHz);
// Frequency of grid point i: 24000 to the power i / 1024.
double GridFrequencyHz(int i);
// The summed response on the grid.
std::vector<double> CurveDb();
// Grid x of a frequency: 1024 x log10(f) / log10(24000).
double MarkerX(double freqHz);

// Configures the main window's graph and hands it the blocks and the curve.
void DrawScene(TFFTDraw& graph);

} // namespace tq50r::plot::demo
