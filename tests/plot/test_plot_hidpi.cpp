// The response graph on a 1.5x screen: every vertical grid line keeps the same width.
#include "plot/core/main_graph.h"
#include "plot/fft_draw_widget.h"

#include <QImage>
#include <QPixmap>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace tq50r::plot {
namespace {

TEST(PlotHiDpi, GridLinesKeepOneWidthAtOneAndAHalf) {
    TFFTDrawWidget graph;
    configureMainWindowGraph(graph);
    graph.resize(809, 201);
    graph.show();
    const QImage shot = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_DOUBLE_EQ(shot.devicePixelRatio(), 1.5);
    // A row between the -27 and -30 dB lines, below the flat curve: it crosses the vertical grid
    // lines only. Each line's ink (the brightness summed across it) must be the same.
    const int row = static_cast<int>(195 * shot.devicePixelRatio());
    std::vector<int> inks;
    int ink = 0;
    for (int x = 0; x < shot.width(); ++x) {
        const int v = qGray(shot.pixel(x, row));
        if (v > 0) {
            ink += v;
        } else if (ink > 0) {
            inks.push_back(ink);
            ink = 0;
        }
    }
    ASSERT_GT(inks.size(), 20u);
    const auto [lightest, heaviest] = std::minmax_element(inks.begin(), inks.end());
    EXPECT_LE(*heaviest, *lightest * 1.25)
        << "lightest " << *lightest << ", heaviest " << *heaviest;
}

} // namespace
} // namespace tq50r::plot
