// A canvas that records every drawing call together with the pen, brush and font in force, and
// measures text with simple fixed metrics, so layout and drawing can be checked without a toolkit.
#pragma once

#include "plot/core/fft_draw.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace tq50r::plot::testing {

struct Op {
    enum Kind { MoveTo, LineTo, FrameRect, FillRect, Rectangle, Ellipse, TextOut, CopyRect };
    Kind kind;
    TPoint from; // LineTo: the pen position before the call
    TPoint to;   // MoveTo/LineTo target, TextOut position
    TRect rect;  // rectangles; CopyRect: destination
    TRect sourceRect;
    const Canvas* source = nullptr;
    std::string text;
    TPen pen;
    TBrush brush;
    TPlotFont font;
};

class RecordingCanvas : public Canvas {
public:
    // Text metrics: every character is charWidth wide; every text is textHeight high.
    int charWidth = 7;
    int textHeight = 13;
    std::vector<Op> ops;
    int measured = 0; // TextWidth calls
    // Changes of size that dropped drawing done at the earlier size.
    int resizedAfterDrawing = 0;

    void SetSize(int width, int height) override {
        width = std::max(0, width);
        height = std::max(0, height);
        if (width != width_ || height != height_) {
            resizedAfterDrawing += drawnAtThisSize_ ? 1 : 0;
            drawnAtThisSize_ = false;
        }
        width_ = width;
        height_ = height;
    }
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    void MoveTo(int x, int y) override {
        record(Op::MoveTo).to = {x, y};
        pos_ = {x, y};
    }
    void LineTo(int x, int y) override {
        auto& op = record(Op::LineTo);
        op.from = pos_;
        op.to = {x, y};
        pos_ = {x, y};
    }
    void FrameRect(const TRect& r) override { record(Op::FrameRect).rect = r; }
    void FillRect(const TRect& r) override { record(Op::FillRect).rect = r; }
    void Rectangle(const TRect& r) override { record(Op::Rectangle).rect = r; }
    void Ellipse(const TRect& r) override { record(Op::Ellipse).rect = r; }
    void TextOut(int x, int y, const std::string& text) override {
        auto& op = record(Op::TextOut);
        op.to = {x, y};
        op.text = text;
    }
    int TextWidth(const std::string& text) override {
        ++measured;
        return charWidth * static_cast<int>(text.size());
    }
    int TextHeight(const std::string&) override { return textHeight; }
    void CopyRect(const TRect& destRect, Canvas& source, const TRect& sourceRect) override {
        auto& op = record(Op::CopyRect);
        op.rect = destRect;
        op.source = &source;
        op.sourceRect = sourceRect;
    }

    std::vector<Op> Of(Op::Kind kind) const {
        std::vector<Op> out;
        std::copy_if(ops.begin(), ops.end(), std::back_inserter(out),
                     [kind](const Op& op) { return op.kind == kind; });
        return out;
    }
    int Count(Op::Kind kind) const { return static_cast<int>(Of(kind).size()); }

private:
    Op& record(Op::Kind kind) {
        drawnAtThisSize_ = true;
        ops.push_back(Op{kind, {}, {}, {}, {}, nullptr, {}, Pen, Brush, Font});
        return ops.back();
    }
    int width_ = 0;
    int height_ = 0;
    bool drawnAtThisSize_ = false;
    TPoint pos_;
};

inline CanvasFactory RecordingFactory(int charWidth = 7, int textHeight = 13) {
    return [=] {
        auto c = std::make_unique<RecordingCanvas>();
        c->charWidth = charWidth;
        c->textHeight = textHeight;
        return std::unique_ptr<Canvas>(std::move(c));
    };
}

inline RecordingCanvas& Rec(TFFTDraw& d, TFFTDraw::PageId page) {
    return dynamic_cast<RecordingCanvas&>(*d.Page(page).Image);
}
inline RecordingCanvas& Screen(TFFTDraw& d) {
    return dynamic_cast<RecordingCanvas&>(d.ControlCanvas());
}
inline void ClearRecords(TFFTDraw& d) {
    for (int p = 0; p < TFFTDraw::PageCount; ++p) {
        Rec(d, static_cast<TFFTDraw::PageId>(p)).ops.clear();
    }
    Screen(d).ops.clear();
}
// Number of whole-plot redraws since the last ClearRecords: each one clears the plot page.
inline int PlotClears(TFFTDraw& d) {
    int n = 0;
    for (const auto& op : Rec(d, TFFTDraw::PlotPage).ops) {
        if (op.kind == Op::FillRect && op.rect == d.Page(TFFTDraw::PlotPage).Source) {
            ++n;
        }
    }
    return n;
}

} // namespace tq50r::plot::testing
