#include "plot/core/plot_list.h"

namespace tq50r::plot {

TPlotList& TPlotList::operator=(TPlotList&& other) noexcept {
    if (this != &other) {
        Clear();
        first_ = std::move(other.first_);
    }
    return *this;
}

TPlotList::~TPlotList() {
    Clear();
}

int TPlotList::Count() const {
    int n = 0;
    for (auto* m = first_.get(); m != nullptr; m = m->Next.get()) {
        ++n;
    }
    return n;
}

TPlotListMember* TPlotList::Find(int index) const {
    for (auto* m = first_.get(); m != nullptr; m = m->Next.get()) {
        if (m->Index == index) {
            return m;
        }
    }
    return nullptr;
}

namespace {
void copyPoints(TPlotListMember& m, const double* x, const double* y, int numPoints) {
    if (numPoints < 0 || x == nullptr || y == nullptr) {
        numPoints = 0;
    }
    m.X.assign(x, x + numPoints);
    m.Y.assign(y, y + numPoints);
    m.NumPoints = numPoints;
}
} // namespace

bool TPlotList::AddOrReplace(const double* x, const double* y, int numPoints, int index,
                             TColor color, TPlotStyle style) {
    if (auto* m = Find(index)) {
        copyPoints(*m, x, y, numPoints);
        return true;
    }
    auto m = std::make_unique<TPlotListMember>();
    copyPoints(*m, x, y, numPoints);
    m->Index = index;
    m->Color = color;
    m->Style = style;
    m->Next = std::move(first_);
    first_ = std::move(m);
    return false;
}

bool TPlotList::Remove(int index) {
    for (auto* link = &first_; *link; link = &(*link)->Next) {
        if ((*link)->Index == index) {
            auto victim = std::move(*link);
            *link = std::move(victim->Next);
            return true;
        }
    }
    return false;
}

void TPlotList::Clear() {
    // Iterative, so a long list cannot exhaust the stack through nested destructors.
    while (first_) {
        first_ = std::move(first_->Next);
    }
}

TPlotList TPlotList::ReversedCopy() const {
    TPlotList copy;
    for (auto* m = first_.get(); m != nullptr; m = m->Next.get()) {
        auto c = std::make_unique<TPlotListMember>();
        c->X = m->X;
        c->Y = m->Y;
        c->Color = m->Color;
        c->Style = m->Style;
        c->NumPoints = m->NumPoints;
        c->Index = m->Index;
        c->Next = std::move(copy.first_);
        copy.first_ = std::move(c);
    }
    return copy;
}

} // namespace tq50r::plot
