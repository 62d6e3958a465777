// The plot list: a singly linked list of curves, newest first.
#pragma once

#include "plot/core/canvas.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace tq50r::plot {

enum class TPlotStyle : std::uint8_t {
    Line,          // a polyline through the points
    Points,        // a square at each point
    PointsAlt,     // painted as Points
    LinePoints,    // polyline and a square at each point
    LinePointsAlt, // painted as LinePoints
};

struct TPlotListMember {
    std::vector<double> X; // NumPoints x values
    std::vector<double> Y; // NumPoints y values
    TColor Color = ColorBlack;
    TPlotStyle Style = TPlotStyle::Line;
    std::int32_t NumPoints = 0;
    std::int32_t Index = 0; // the caller's key of the plot
    std::unique_ptr<TPlotListMember> Next;
};

class TPlotList {
public:
    TPlotList() = default;
    TPlotList(const TPlotList&) = delete;
    TPlotList& operator=(const TPlotList&) = delete;
    TPlotList(TPlotList&&) noexcept = default;
    TPlotList& operator=(TPlotList&& other) noexcept;
    ~TPlotList();

    TPlotListMember* First() const { return first_.get(); }
    bool Empty() const { return !first_; }
    int Count() const;

    // The first member with that Index, or nullptr.
    TPlotListMember* Find(int index) const;

    // Adds or replaces plot `index`: an existing member gets the new points and keeps its colour
    // and style (true); otherwise a new member is inserted at the head (false). Points are
    // copied; a negative count or missing arrays count as no points.
    bool AddOrReplace(const double* x, const double* y, int numPoints, int index, TColor color,
                      TPlotStyle style);

    // Unlinks and frees the first member with that Index; false when there is none.
    bool Remove(int index);

    void Clear();

    // A copy of this list in reverse order (each copy is inserted at the head of the new list).
    TPlotList ReversedCopy() const;

private:
    std::unique_ptr<TPlotListMember> first_;
};

} // namespace tq50r::plot
