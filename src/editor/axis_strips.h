// The fixed scale strips around the response graph: dB labels at the left, Hz labels below and a
// filler at the right. Labels sit at fixed pixel positions, not computed from the plot mapping.
#pragma once

#include <QWidget>
#include <array>

class QPainter;

namespace tq50r::editor {

struct StripLabel {
    const char* text;
    int xPx; // top-left corner of the text, relative to the strip
    int yPx;
};

inline constexpr int LeftStripWidthPx = 33;
inline constexpr int LeftStripHeightPx = 217;
inline constexpr int BottomStripWidthPx = 809;
inline constexpr int BottomStripHeightPx = 17;
inline constexpr int RightStripWidthPx = 33;
inline constexpr int RightStripHeightPx = 225;
// The right strip leaves its first columns unpainted so that the plot's frame stays visible.
inline constexpr int RightStripFillLeftPx = 3;
// Strip background: red, green and blue 40 each.
inline constexpr int StripGrey = 40;
// Pixel size of the strip font.
inline constexpr int StripFontPx = 10;

// dB labels in 3 dB steps from the top.
inline constexpr std::array<StripLabel, 17> LeftStripLabels{{
    {"+18", 5, 1},
    {"+15", 5, 13},
    {"+12", 5, 27},
    {"+9", 10, 40},
    {"+6", 10, 52},
    {"+3", 10, 64},
    {"0", 15, 77},
    {"-3", 12, 89},
    {"-6", 11, 102},
    {"-9", 11, 115},
    {"-12", 5, 128},
    {"-15", 5, 140},
    {"-18", 5, 153},
    {"-21", 5, 165},
    {"-24", 5, 177},
    {"-27", 5, 189},
    {"-30", 4, 201},
}};

inline constexpr int BottomLabelYPx = 3;
// Hz labels, all on one row.
inline constexpr std::array<StripLabel, 17> BottomStripLabels{{
    {"20", 70, BottomLabelYPx},
    {"30", 110, BottomLabelYPx},
    {"40", 138, BottomLabelYPx},
    {"50", 160, BottomLabelYPx},
    {"100", 225, BottomLabelYPx},
    {"200", 295, BottomLabelYPx},
    {"300", 335, BottomLabelYPx},
    {"400", 365, BottomLabelYPx},
    {"500", 387, BottomLabelYPx},
    {"1k", 457, BottomLabelYPx},
    {"2k", 527, BottomLabelYPx},
    {"3k", 567, BottomLabelYPx},
    {"4k", 597, BottomLabelYPx},
    {"5k", 619, BottomLabelYPx},
    {"10k", 685, BottomLabelYPx},
    {"20k", 754, BottomLabelYPx},
    {"(Hz)", 790, BottomLabelYPx},
}};

// Paint handlers of the three strips, usable on any painter (tests paint into an image).
void LeftBoxPaint(QPainter& p, int widthPx, int heightPx);
void BottomBoxPaint(QPainter& p, int widthPx, int heightPx);
void RightBoxPaint(QPainter& p, int widthPx, int heightPx);

// One strip control; `LeftPaintBox`, `BottomPaintBox` and `RightPaintBox` are instances.
class AxisStrip : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Left, Bottom, Right };
    AxisStrip(Kind kind, QWidget* parent);
    Kind kind() const { return kind_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
};

} // namespace tq50r::editor
