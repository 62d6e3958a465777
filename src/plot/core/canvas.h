// The drawing surface the plot paints on. Every drawing step of the plot is a call on this
// interface, so the model, mapping and layout work (and are tested) without a windowing toolkit.
//
// Coordinates follow the usual raster conventions of off-screen bitmaps: a rectangle (l, t, r, b)
// covers columns l .. r-1 and rows t .. b-1; text is placed by the top-left corner of its cell.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tq50r::plot {

// Colours are 0x00BBGGRR: red in the low byte.
using TColor = std::uint32_t;

inline constexpr TColor ColorBlack = 0x00000000;
inline constexpr TColor ColorWhite = 0x00FFFFFF;
inline constexpr TColor ColorRed = 0x000000FF;
inline constexpr TColor ColorGreen = 0x0000FF00;
inline constexpr TColor ColorDarkGreen = 0x00008000;

constexpr int redOf(TColor c) {
    return static_cast<int>(c & 0xFFu);
}
constexpr int greenOf(TColor c) {
    return static_cast<int>((c >> 8) & 0xFFu);
}
constexpr int blueOf(TColor c) {
    return static_cast<int>((c >> 16) & 0xFFu);
}
constexpr TColor rgb(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

struct TPoint {
    int X = 0;
    int Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

enum class TPenStyle : std::uint8_t { Solid, Dash, Dot, Clear };
enum class TPenMode : std::uint8_t { Copy, Xor, Not };
enum class TBrushStyle : std::uint8_t { Solid, Clear };

struct TPen {
    TColor Color = ColorBlack;
    int Width = 1;
    TPenStyle Style = TPenStyle::Solid;
    TPenMode Mode = TPenMode::Copy;
    friend bool operator==(const TPen&, const TPen&) = default;
};

struct TBrush {
    TColor Color = ColorWhite;
    TBrushStyle Style = TBrushStyle::Solid;
    friend bool operator==(const TBrush&, const TBrush&) = default;
};

// A font description, copied by value. An empty face means the toolkit's default face.
struct TPlotFont {
    std::string Face;
    int SizePt = 8;
    TColor Color = ColorBlack;
    bool Bold = false;
    bool Italic = false;
    friend bool operator==(const TPlotFont&, const TPlotFont&) = default;
};

// One drawing surface (an off-screen page or the control itself). The pen, brush and font are
// plain state that stays in force between operations until someone changes it.
class Canvas {
public:
    virtual ~Canvas() = default;

    TPen Pen;
    TBrush Brush;
    TPlotFont Font;

    // Size of the image behind the canvas; a new canvas is 0 x 0. Negative sizes count as 0.
    virtual void SetSize(int width, int height) = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    virtual void MoveTo(int x, int y) = 0;
    // A line with the pen from the current position to (x, y), which becomes the current position.
    virtual void LineTo(int x, int y) = 0;
    // A one-pixel frame in the brush colour (no pen).
    virtual void FrameRect(const TRect& r) = 0;
    // The rectangle filled with the brush (no pen).
    virtual void FillRect(const TRect& r) = 0;
    // The rectangle outlined with the pen and filled with the brush.
    virtual void Rectangle(const TRect& r) = 0;
    // The ellipse inside the bounding rectangle, outlined with the pen and filled with the brush.
    virtual void Ellipse(const TRect& r) = 0;
    // Text in the font's colour with its cell's top-left corner at (x, y); the cell is filled with
    // the brush colour while the brush is solid.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;
    virtual int TextHeight(const std::string& text) = 0;
    // Copies sourceRect of source into destRect of this canvas.
    virtual void CopyRect(const TRect& destRect, Canvas& source, const TRect& sourceRect) = 0;
};

using CanvasFactory = std::function<std::unique_ptr<Canvas>()>;

} // namespace tq50r::plot
