// The QPainter canvas and the widget, checked pixel by pixel on the offscreen platform.
#include "plot/core/main_graph.h"
#include "plot/fft_draw_widget.h"
#include "plot/qimage_canvas.h"
#include "tools/plot-render/demo_scene.h"

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable points in failure messages.
void PrintTo(const QPoint& p, std::ostream* os) {
    *os << "(" << p.x() << ", " << p.y() << ")";
}

namespace tq50r::plot {
namespace {

TColor PixelAt(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return rgb(qRed(p), qGreen(p), qBlue(p));
}

TColor PixelAt(QImageCanvas& c, int x, int y) {
    return PixelAt(c.Image(), x, y);
}

bool AnyPixelIs(const QImage& image, const QRect& area, TColor color) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (PixelAt(image, x, y) == color) {
                return true;
            }
        }
    }
    return false;
}

// Hands out black canvases that live as long as the test.
struct QImageCanvasTest : ::testing::Test {
    std::vector<std::unique_ptr<QImageCanvas>> canvases;
    QImageCanvas& Black(int w, int h) {
        auto& c = *canvases.emplace_back(std::make_unique<QImageCanvas>());
        c.SetSize(w, h);
        c.Brush.Color = ColorBlack;
        c.FillRect(TRect{0, 0, w, h});
        return c;
    }
    QImageCanvas& WhitePenOnBlack(int w, int h) {
        QImageCanvas& c = Black(w, h);
        c.Pen.Color = ColorWhite;
        return c;
    }
};

// A page is resized several times while the graph is set up and before it is first drawn; what
// it shows is decided by its last size alone: white where nothing was drawn, and a drawing is
// kept only while the size stays.
TEST_F(QImageCanvasTest, ASizeChangeLeavesAWhitePageOfTheLastSize) {
    QImageCanvas c;
    EXPECT_TRUE(c.Image().isNull());
    c.SetSize(100, 50);
    c.SetSize(-4, 7);
    EXPECT_EQ(c.Width(), 0);
    EXPECT_TRUE(c.Image().isNull());
    c.SetSize(30, 20);
    EXPECT_EQ(c.Width(), 30);
    EXPECT_EQ(c.Height(), 20);
    ASSERT_EQ(c.Image().size(), QSize(30, 20));
    EXPECT_EQ(c.Image().format(), QImage::Format_RGB32);
    EXPECT_FALSE(AnyPixelIs(c.Image(), QRect(0, 0, 30, 20), ColorBlack));

    c.Brush.Color = ColorBlack;
    c.FillRect(TRect{0, 0, 30, 20});
    c.SetSize(30, 20);
    EXPECT_EQ(PixelAt(c, 29, 19), ColorBlack) << "same size: the drawing stays";
    c.SetSize(31, 20);
    EXPECT_FALSE(AnyPixelIs(c.Image(), QRect(0, 0, 31, 20), ColorBlack));

    // Drawing first thing after a resize draws on that white page.
    c.SetSize(8, 8);
    c.Pen.Color = ColorRed;
    c.MoveTo(0, 3);
    c.LineTo(8, 3);
    EXPECT_EQ(PixelAt(c, 7, 3), ColorRed);
    EXPECT_EQ(PixelAt(c, 7, 4), ColorWhite);
    QImageCanvas copy;
    copy.SetSize(8, 8);
    copy.CopyRect(TRect{0, 0, 8, 8}, c, TRect{0, 0, 8, 8});
    EXPECT_EQ(PixelAt(copy, 0, 3), ColorRed);
    EXPECT_EQ(PixelAt(copy, 0, 0), ColorWhite);
}

// What PaintUnmade shows, and what the canvas then holds, drawn on a picture of its size.
QImage Shown(const QImageCanvas& c) {
    QImage shown(c.Width(), c.Height(), QImage::Format_RGB32);
    shown.fill(Qt::magenta);
    QPainter p(&shown);
    EXPECT_TRUE(c.PaintUnmade(p, shown.rect()));
    return shown;
}

// A canvas that was only filled and copied onto shows that without pixels of its own; it takes
// its copies when either side is about to change, so it keeps showing what was copied.
TEST_F(QImageCanvasTest, CopiesAreShownFromTheirSourcesUntilEitherChanges) {
    QImageCanvas& page = Black(6, 4);
    page.Brush.Color = ColorRed;
    page.FillRect(TRect{1, 1, 3, 3});
    QImageCanvas& other = Black(2, 2);
    auto& screen = *canvases.emplace_back(std::make_unique<QImageCanvas>());
    screen.SetSize(10, 6);
    screen.Brush.Color = ColorDarkGreen;
    screen.FillRect(TRect{0, 0, 10, 6});
    screen.CopyRect(TRect{2, 1, 8, 5}, page, TRect{0, 0, 6, 4});
    screen.CopyRect(TRect{0, 0, 2, 2}, other, TRect{0, 0, 2, 2});
    screen.CopyRect(TRect{0, 0, 1, 1}, page, TRect{1, 1, 2, 2}); // over part of the last one
    const QImage shown = Shown(screen);
    EXPECT_EQ(PixelAt(shown, 9, 5), ColorDarkGreen);
    EXPECT_EQ(PixelAt(shown, 2, 1), ColorBlack);
    EXPECT_EQ(PixelAt(shown, 3, 2), ColorRed);
    EXPECT_EQ(PixelAt(shown, 0, 0), ColorRed);
    EXPECT_EQ(PixelAt(shown, 1, 1), ColorBlack);

    // The page changes: the screen keeps the copy it was shown with, now in pixels of its own.
    page.Brush.Color = ColorGreen;
    page.FillRect(TRect{0, 0, 6, 4});
    QPainter p;
    QImage scratch(10, 6, QImage::Format_RGB32);
    p.begin(&scratch);
    EXPECT_FALSE(screen.PaintUnmade(p, scratch.rect()));
    p.end();
    EXPECT_EQ(screen.Image(), shown);

    // Resized or gone sources leave their copies as they were.
    auto& second = *canvases.emplace_back(std::make_unique<QImageCanvas>());
    second.SetSize(10, 6);
    second.CopyRect(TRect{0, 0, 6, 4}, page, TRect{0, 0, 6, 4});
    const QImage before = Shown(second);
    EXPECT_EQ(PixelAt(before, 5, 3), ColorGreen);
    EXPECT_EQ(PixelAt(before, 9, 5), ColorWhite); // a new canvas is white
    page.SetSize(3, 3);
    EXPECT_EQ(second.Image(), before);
    auto& third = *canvases.emplace_back(std::make_unique<QImageCanvas>());
    {
        QImageCanvas gone;
        gone.SetSize(2, 2);
        gone.Brush.Color = ColorRed;
        gone.FillRect(TRect{0, 0, 1, 1});
        third.SetSize(2, 2);
        third.CopyRect(TRect{0, 0, 2, 2}, gone, TRect{0, 0, 2, 2});
    }
    EXPECT_EQ(PixelAt(third, 0, 0), ColorRed);
    EXPECT_EQ(PixelAt(third, 1, 1), ColorWhite);

    // Drawing on the screen itself makes its pixels first.
    auto& fourth = *canvases.emplace_back(std::make_unique<QImageCanvas>());
    fourth.SetSize(4, 4);
    fourth.CopyRect(TRect{0, 0, 2, 2}, other, TRect{0, 0, 2, 2});
    fourth.Pen.Color = ColorRed;
    fourth.MoveTo(0, 3);
    fourth.LineTo(4, 3);
    EXPECT_EQ(PixelAt(fourth, 0, 0), ColorBlack);
    EXPECT_EQ(PixelAt(fourth, 3, 3), ColorRed);
    EXPECT_EQ(PixelAt(fourth, 3, 0), ColorWhite);
}

TEST_F(QImageCanvasTest, ColoursAreRedInTheLowByte) {
    QImageCanvas& c = Black(4, 4);
    c.Brush.Color = 0x000000FF;
    c.FillRect(TRect{0, 0, 2, 4});
    c.Brush.Color = 0x00FF0000;
    c.FillRect(TRect{2, 0, 4, 4});
    EXPECT_EQ(c.Image().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(c.Image().pixel(3, 3), qRgb(0, 0, 255));
    EXPECT_EQ(toQColor(0x009DA900), QColor(0, 169, 157));
}

TEST_F(QImageCanvasTest, RectanglesCoverLeftToRightMinusOne) {
    QImageCanvas& c = Black(10, 10);
    c.Brush.Color = ColorWhite;
    c.FrameRect(TRect{2, 2, 7, 7});
    EXPECT_EQ(PixelAt(c, 2, 2), ColorWhite);
    EXPECT_EQ(PixelAt(c, 6, 6), ColorWhite);
    EXPECT_EQ(PixelAt(c, 7, 6), ColorBlack);
    EXPECT_EQ(PixelAt(c, 4, 4), ColorBlack); // a frame is hollow

    c.Pen.Color = ColorRed;
    c.Brush.Color = ColorGreen;
    c.Rectangle(TRect{0, 0, 5, 5});
    EXPECT_EQ(PixelAt(c, 0, 0), ColorRed);
    EXPECT_EQ(PixelAt(c, 4, 4), ColorRed);
    EXPECT_EQ(PixelAt(c, 2, 2), ColorGreen);
    EXPECT_EQ(PixelAt(c, 5, 5), ColorBlack);
}

TEST_F(QImageCanvasTest, EllipseIsAFilledDisc) {
    QImageCanvas& c = WhitePenOnBlack(20, 20);
    c.Brush.Color = ColorWhite;
    c.Ellipse(TRect{2, 2, 18, 18}); // 16 across
    EXPECT_EQ(PixelAt(c, 10, 10), ColorWhite);
    EXPECT_EQ(PixelAt(c, 2, 10), ColorWhite);
    EXPECT_EQ(PixelAt(c, 17, 10), ColorWhite);
    EXPECT_EQ(PixelAt(c, 18, 10), ColorBlack);
    EXPECT_EQ(PixelAt(c, 3, 3), ColorBlack); // corners stay outside
}

TEST_F(QImageCanvasTest, LinesUseThePenAndKeepTheirCourseWhenFarOutside) {
    QImageCanvas& c = WhitePenOnBlack(20, 20);
    c.MoveTo(0, 5);
    c.LineTo(19, 5);
    EXPECT_EQ(PixelAt(c, 0, 5), ColorWhite);
    EXPECT_EQ(PixelAt(c, 10, 5), ColorWhite);
    EXPECT_EQ(PixelAt(c, 10, 6), ColorBlack);
    // From far above-left along the diagonal: the visible part stays on the diagonal.
    c.MoveTo(-1000000000, -1000000000);
    c.LineTo(15, 15);
    EXPECT_EQ(PixelAt(c, 12, 12), ColorWhite);
    EXPECT_EQ(PixelAt(c, 12, 14), ColorBlack);
    c.MoveTo(INT_MIN, INT_MAX); // saturated coordinates must not upset the painter
    c.LineTo(INT_MAX, INT_MIN);
    c.Rectangle(TRect{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    SUCCEED();
}

// The white pixels of the canvas, row by row.
std::vector<QPoint> LitPixels(QImageCanvas& c) {
    std::vector<QPoint> lit;
    for (int y = 0; y < c.Height(); ++y) {
        for (int x = 0; x < c.Width(); ++x) {
            if (PixelAt(c, x, y) == ColorWhite) {
                lit.emplace_back(x, y);
            }
        }
    }
    return lit;
}

std::vector<QPoint> Sorted(std::vector<QPoint> pts) {
    std::sort(pts.begin(), pts.end(),
              [](QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); });
    return pts;
}

void DrawPolyline(Canvas& c, const std::vector<QPoint>& pts) {
    c.MoveTo(pts[0].x(), pts[0].y());
    for (std::size_t i = 1; i < pts.size(); ++i) {
        c.LineTo(pts[i].x(), pts[i].y());
    }
}

// A one-pixel line lights its start pixel but not its end pixel: a line of length n along its
// longer axis lights n pixels, each on the pixel nearest the exact line.
TEST_F(QImageCanvasTest, OnePixelLinesLeaveOutTheirEndPixel) {
    struct Case {
        const char* name;
        std::vector<QPoint> polyline;
        std::vector<QPoint> lit;
    };
    const std::vector<Case> cases = {
        {"rightwards", {{0, 2}, {6, 2}}, {{0, 2}, {1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}}},
        {"leftwards", {{7, 3}, {4, 3}}, {{7, 3}, {6, 3}, {5, 3}}},
        {"downwards", {{4, 1}, {4, 5}}, {{4, 1}, {4, 2}, {4, 3}, {4, 4}}},
        {"upwards", {{5, 9}, {5, 6}}, {{5, 9}, {5, 8}, {5, 7}}},
        {"diagonal", {{0, 0}, {4, 4}}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {"anti-diagonal", {{6, 0}, {2, 4}}, {{6, 0}, {5, 1}, {4, 2}, {3, 3}}},
        {"zero length", {{3, 3}, {3, 3}}, {}},
        {"single step", {{3, 3}, {4, 3}}, {{3, 3}}},
        // Each side of a closed square lights its own pixels; with the xor pen below a joint
        // plotted twice would come out dark.
        {"closed square",
         {{1, 1}, {4, 1}, {4, 4}, {1, 4}, {1, 1}},
         {{1, 1},
          {2, 1},
          {3, 1},
          {4, 1},
          {1, 2},
          {4, 2},
          {1, 3},
          {4, 3},
          {1, 4},
          {2, 4},
          {3, 4},
          {4, 4}}},
        {"zigzag",
         {{0, 8}, {2, 6}, {4, 8}, {6, 6}},
         {{0, 8}, {1, 7}, {2, 6}, {3, 7}, {4, 8}, {5, 7}}},
    };
    for (const TPenMode mode : {TPenMode::Copy, TPenMode::Xor}) {
        for (const Case& tc : cases) {
            QImageCanvas& c = WhitePenOnBlack(10, 10);
            c.Pen.Mode = mode;
            DrawPolyline(c, tc.polyline);
            EXPECT_EQ(LitPixels(c), Sorted(tc.lit)) << tc.name << " mode " << int(mode);
        }
    }
}

// One shallow line turned into all eight octants: the same pixels, mirrored.
TEST_F(QImageCanvasTest, OnePixelLinesAgreeInAllOctants) {
    // (0, 0) to (6, 2): the exact rows 0, 1/3, 2/3, 1, 4/3, 5/3 rounded.
    const std::vector<QPoint> base = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}, {5, 2}};
    const QPoint end(6, 2);
    const QPoint centre(7, 7);
    for (const bool swap : {false, true}) {
        for (const int sx : {1, -1}) {
            for (const int sy : {1, -1}) {
                const auto place = [&](QPoint p) {
                    const QPoint q = swap ? QPoint(p.y(), p.x()) : p;
                    return centre + QPoint(sx * q.x(), sy * q.y());
                };
                std::vector<QPoint> want;
                for (const QPoint p : base) {
                    want.push_back(place(p));
                }
                QImageCanvas& c = WhitePenOnBlack(15, 15);
                DrawPolyline(c, {centre, place(end)});
                EXPECT_EQ(LitPixels(c), Sorted(want)) << swap << sx << sy;
            }
        }
    }
}

// Lines crossing the edges light exactly the pixels the same lines light on a larger canvas,
// also when they start or end very far away.
TEST_F(QImageCanvasTest, OnePixelLinesAreClippedWithoutLeavingTheirCourse) {
    constexpr int size = 20;
    constexpr int margin = 40;
    const std::vector<std::vector<QPoint>> polylines = {
        {{-15, 3}, {30, 12}}, {{5, -30}, {12, 45}}, {{25, -5}, {-8, 26}},
        {{-3, -3}, {19, 19}}, {{19, 0}, {19, 25}},  {{-10, 19}, {30, 19}},
        {{0, 22}, {22, 0}},   {{-7, 10}, {10, -7}}, {{-5, 5}, {5, 15}, {15, 5}, {25, 15}},
    };
    for (std::size_t n = 0; n < polylines.size(); ++n) {
        QImageCanvas& small = WhitePenOnBlack(size, size);
        QImageCanvas& large = WhitePenOnBlack(size + 2 * margin, size + 2 * margin);
        DrawPolyline(small, polylines[n]);
        std::vector<QPoint> shifted;
        for (const QPoint p : polylines[n]) {
            shifted.push_back(p + QPoint(margin, margin));
        }
        DrawPolyline(large, shifted);
        const QImage crop = large.Image().copy(margin, margin, size, size);
        EXPECT_EQ(small.Image(), crop) << "polyline " << n;
    }
    QImageCanvas& c = WhitePenOnBlack(size, size);
    c.MoveTo(INT_MIN, INT_MIN); // the whole int range: still the exact diagonal
    c.LineTo(INT_MAX, INT_MAX);
    std::vector<QPoint> diagonal;
    for (int i = 0; i < size; ++i) {
        diagonal.emplace_back(i, i);
    }
    EXPECT_EQ(LitPixels(c), diagonal);
}

TEST_F(QImageCanvasTest, DashedAndDottedPensRunOnThroughJoints) {
    const auto row = [](QImageCanvas& c, int y) {
        std::string s;
        for (int x = 0; x < c.Width(); ++x) {
            s += PixelAt(c, x, y) == ColorWhite ? '#' : '.';
        }
        return s;
    };
    QImageCanvas& c = WhitePenOnBlack(16, 4);
    c.Pen.Style = TPenStyle::Dash;
    DrawPolyline(c, {{0, 0}, {3, 0}, {16, 0}});
    c.Pen.Style = TPenStyle::Dot;
    DrawPolyline(c, {{0, 2}, {16, 2}});
    c.Pen.Style = TPenStyle::Clear;
    DrawPolyline(c, {{0, 3}, {16, 3}});
    EXPECT_EQ(row(c, 0), "####..####..####");
    EXPECT_EQ(row(c, 2), "#..#..#..#..#..#");
    EXPECT_EQ(row(c, 3), "................");
}

TEST_F(QImageCanvasTest, ThickPenCoversTwoPixelsAcrossTheLine) {
    QImageCanvas& c = WhitePenOnBlack(20, 20);
    c.Pen.Width = 2;
    c.MoveTo(2, 5); // mostly flat: two rows
    c.LineTo(8, 6);
    c.LineTo(14, 5);
    c.MoveTo(17, 8); // steep: two columns
    c.LineTo(17, 18);
    for (int x : {4, 12}) {
        int rows = 0;
        for (int y = 0; y < 20; ++y) {
            rows += PixelAt(c, x, y) == ColorWhite ? 1 : 0;
        }
        EXPECT_EQ(rows, 2) << x;
    }
    EXPECT_EQ(PixelAt(c, 16, 12), ColorWhite);
    EXPECT_EQ(PixelAt(c, 17, 12), ColorWhite);
    EXPECT_EQ(PixelAt(c, 18, 12), ColorBlack);
    EXPECT_EQ(PixelAt(c, 15, 12), ColorBlack);
}

// A width-2 pen must cover the pixels a stroked 2-pixel pen covers, also across slopes, where
// two pixels in the minor direction alone would be thinner than the pen.
TEST_F(QImageCanvasTest, ThickPenMatchesAStrokedPen) {
    const std::vector<std::vector<QPoint>> polylines = {
        {{3, 10}, {36, 10}},                                                 // flat
        {{20, 2}, {20, 37}},                                                 // upright
        {{2, 2}, {37, 37}},                                                  // diagonal
        {{2, 30}, {37, 18}},                                                 // shallow
        {{10, 37}, {22, 3}},                                                 // steep
        {{2, 20}, {8, 12}, {14, 25}, {20, 5}, {26, 30}, {32, 16}, {38, 22}}, // zigzag
        {{-20, 50}, {60, -10}}, // crossing the whole canvas
    };
    constexpr int size = 40;
    for (std::size_t n = 0; n < polylines.size(); ++n) {
        const auto& pts = polylines[n];
        QImage stroked(size, size, QImage::Format_RGB32);
        stroked.fill(Qt::black);
        {
            QPainter p(&stroked);
            QPen pen(Qt::white);
            pen.setWidth(2);
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
            p.setPen(pen);
            p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        }
        QImageCanvas& c = WhitePenOnBlack(size, size);
        c.Pen.Width = 2;
        DrawPolyline(c, pts);
        int covered = 0;
        int differ = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const bool want = PixelAt(stroked, x, y) == ColorWhite;
                covered += want ? 1 : 0;
                differ += want != (PixelAt(c, x, y) == ColorWhite) ? 1 : 0;
            }
        }
        EXPECT_GT(covered, 0) << n;
        EXPECT_LE(differ, 1) << "polyline " << n << ": " << differ << " of " << covered;
    }
}

TEST_F(QImageCanvasTest, CollectedLinesKeepTheirOrderWithOtherSteps) {
    QImageCanvas& c = WhitePenOnBlack(10, 10);
    c.MoveTo(0, 2);
    c.LineTo(9, 2);
    c.Brush.Color = ColorRed; // drawn over the line
    c.FillRect(TRect{0, 0, 5, 5});
    c.Pen.Color = ColorGreen; // a new colour starts a new run
    c.MoveTo(0, 7);
    c.LineTo(9, 7);
    EXPECT_EQ(PixelAt(c, 2, 2), ColorRed);
    EXPECT_EQ(PixelAt(c, 7, 2), ColorWhite);
    EXPECT_EQ(PixelAt(c, 7, 7), ColorGreen);
}

TEST_F(QImageCanvasTest, TextOnASolidBrushFillsItsCell) {
    QImageCanvas& c = Black(40, 30);
    c.Font.Color = ColorRed;
    c.Brush.Color = ColorWhite;
    const int w = c.TextWidth("8");
    const int h = c.TextHeight("8");
    ASSERT_GT(w, 0);
    ASSERT_GT(h, 0);
    EXPECT_GT(c.TextWidth("888"), w);
    c.TextOut(5, 5, "8");
    EXPECT_EQ(PixelAt(c, 5, 5), ColorWhite); // the cell's corner
    EXPECT_TRUE(AnyPixelIs(c.Image(), QRect(5, 5, w, h), ColorRed));
    EXPECT_EQ(PixelAt(c, 5 + w + 1, 5), ColorBlack);
}

TEST_F(QImageCanvasTest, CopyRectPlacesThePage) {
    QImageCanvas& page = Black(4, 3);
    page.Brush.Color = ColorRed;
    page.FillRect(TRect{0, 0, 1, 1});
    QImageCanvas& screen = Black(10, 10);
    screen.Brush.Color = ColorWhite;
    screen.FillRect(TRect{0, 0, 10, 10});
    screen.CopyRect(TRect{5, 6, 9, 9}, page, TRect{0, 0, 4, 3});
    EXPECT_EQ(PixelAt(screen, 5, 6), ColorRed);
    EXPECT_EQ(PixelAt(screen, 8, 8), ColorBlack);
    EXPECT_EQ(PixelAt(screen, 9, 9), ColorWhite);
    EXPECT_EQ(PixelAt(screen, 4, 6), ColorWhite);
}

TEST(PlotWidget, MainGraphRender) {
    TFFTDrawWidget w;
    w.setObjectName("FFTDraw1");
    demo::DrawScene(w);
    w.Paint();
    const QImage& img = w.ScreenImage();
    ASSERT_EQ(img.size(), QSize(809, 201));
    EXPECT_EQ(w.Page(TFFTDraw::PlotPage).Dest, (TRect{30, 0, 779, 201}));
    // White frame at the page's left edge; the control's colour left of it and at the right.
    EXPECT_EQ(PixelAt(img, 30, 150), ColorWhite);
    EXPECT_EQ(PixelAt(img, 10, 150), ColorBlack);
    EXPECT_EQ(PixelAt(img, 790, 100), ColorBlack);
    // The -27 dB grid row (188) is white between grid columns.
    EXPECT_EQ(PixelAt(img, 30 + 100, 188), ColorWhite);
    EXPECT_EQ(PixelAt(img, 30 + 100, 190), ColorBlack);
    // The curve at 20 kHz sits on the 0 dB row in its colour.
    const int col20k = 30 + static_cast<int>(w.ScreenX(demo::MarkerX(20000)));
    EXPECT_TRUE(AnyPixelIs(img, QRect(col20k + 3, 70, 1, 10), 0x009DA900));
    // Band 2's disc at 1 kHz, +6 dB: white around a red numeral; hidden band 3 has no disc.
    const auto disc = [&](int band) {
        const double x = demo::MarkerX(demo::Bands()[static_cast<std::size_t>(band)].freqHz);
        const double y = demo::Bands()[static_cast<std::size_t>(band)].gainDb;
        return QPoint(30 + Truncate(w.ScreenX(x)), Truncate(w.ScreenY(y)));
    };
    const QPoint p2 = disc(1);
    EXPECT_EQ(PixelAt(img, p2.x() + 6, p2.y() + 2), ColorWhite);
    EXPECT_TRUE(AnyPixelIs(img, QRect(p2.x() - 4, p2.y() - 6, 9, 13), ColorRed));
    const QPoint p3 = disc(2);
    EXPECT_NE(PixelAt(img, p3.x() + 6, p3.y() + 2), ColorWhite);
}

// Ticks without the grid under them: a horizontal tick of length n is n pixels long; a vertical
// one starts on row H, just below the page, so n + 2 - 1 of its pixels show on a linear X axis.
TEST(PlotWidget, TicksAreAsLongAsSet) {
    constexpr int tickPx = 6;
    TFFTDrawWidget w;
    configureMainWindowGraph(w);
    w.SetShowHorzGrid(false);
    w.SetShowVertGrid(false);
    w.SetAxisStyle(TAxisStyle::None);
    w.SetHorzTickLength(tickPx);
    w.SetVertTickLength(tickPx);
    w.Paint();
    const QImage& img = w.ScreenImage();
    const int left = w.Page(TFFTDraw::PlotPage).Dest.Left;
    const int bottom = w.Page(TFFTDraw::PlotPage).Dest.Bottom;
    const int row = Truncate(w.ScreenY(MainGraphYMinDb + 3)); // the lowest grid row
    int horz = 0;
    while (PixelAt(img, left + horz, row) == ColorWhite) {
        ++horz;
    }
    EXPECT_EQ(horz, tickPx);
    const int col = left + Truncate(w.ScreenX(demo::MarkerX(1000)));
    int vert = 0;
    while (PixelAt(img, col, bottom - 1 - vert) == ColorWhite) {
        ++vert;
    }
    EXPECT_EQ(vert, tickPx + 1);
}

TEST(PlotWidget, PaintsOnFirstRenderAndFollowsResize) {
    TFFTDrawWidget w;
    configureMainWindowGraph(w);
    int painted = 0;
    w.OnPaint = [&](TFFTDraw&) { ++painted; };
    const QPixmap shot = w.grab();
    EXPECT_EQ(painted, 1);
    EXPECT_EQ(shot.size(), QSize(809, 201));
    EXPECT_EQ(shot.toImage().pixel(30, 100), qRgb(255, 255, 255));
    w.grab(); // nothing changed: the screen is shown as it is
    EXPECT_EQ(painted, 1);
    w.resize(600, 150);
    w.grab();
    EXPECT_EQ(painted, 2);
    EXPECT_EQ(w.GetPlotWidth(), 600 - 30 - 30);
    EXPECT_EQ(w.GetPlotHeight(), 150);
}

// The first paint shows the pages without the control canvas making pixels of its own: that
// waits for the first change of a page, and the picture is the same either way.
TEST(PlotWidget, TheFirstPaintShowsThePagesStraight) {
    TFFTDrawWidget w;
    configureMainWindowGraph(w);
    std::vector<double> curve(MainGraphCurvePoints, 3.0);
    w.FFTDraw(curve.data(), MainGraphCurvePoints, MainGraphCurveIndex, MainGraphCurveColor,
              TPlotStyle::Line);
    w.DrawBlock(3.0, demo::MarkerX(1000), ColorWhite, 0, false);
    const QImage first = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto& control = static_cast<QImageCanvas&>(w.ControlCanvas());
    QImage scratch(w.size(), QImage::Format_RGB32);
    {
        QPainter p(&scratch);
        EXPECT_TRUE(control.PaintUnmade(p, scratch.rect()));
    }
    EXPECT_EQ(scratch, first);
    EXPECT_EQ(w.ScreenImage().convertToFormat(QImage::Format_RGB32), first);
    // A later change draws on the control canvas's own pixels as before.
    w.DrawBlock(-6.0, demo::MarkerX(1000), ColorWhite, 0, false);
    const QImage moved = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NE(moved, first);
    EXPECT_EQ(w.ScreenImage().convertToFormat(QImage::Format_RGB32), moved);
}

TEST(PlotWidget, HiddenWidgetDrawsNothing) {
    TFFTDrawWidget w;
    EXPECT_TRUE(w.ControlVisible());
    w.hide();
    EXPECT_FALSE(w.ControlVisible());
    w.show();
    EXPECT_TRUE(w.ControlVisible());
}

TEST(PlotWidget, MouseInputIsForwarded) {
    TFFTDrawWidget w;
    configureMainWindowGraph(w);
    QSignalSpy pressed(&w, &TFFTDrawWidget::mousePressed);
    QSignalSpy moved(&w, &TFFTDrawWidget::mouseMoved);
    QSignalSpy released(&w, &TFFTDrawWidget::mouseReleased);
    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, QPoint(100, 50));
    QTest::mouseMove(&w, QPoint(120, 60));
    QTest::mouseRelease(&w, Qt::RightButton, Qt::NoModifier, QPoint(130, 70));
    ASSERT_EQ(pressed.count(), 1);
    EXPECT_EQ(pressed.at(0).at(0).value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(pressed.at(0).at(1).toPoint(), QPoint(100, 50));
    ASSERT_GE(moved.count(), 1);
    EXPECT_EQ(moved.last().at(1).toPoint(), QPoint(120, 60));
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released.at(0).at(0).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(released.at(0).at(1).toPoint(), QPoint(130, 70));
}

} // namespace
} // namespace tq50r::plot
