#include "eq/history.h"

#include <algorithm>

namespace tq50r::eq {

namespace {

bool sameAsEdited(const EqBand& a, const EqBand& b) {
    return a.bandType() == b.bandType() && a.freqIndex == b.freqIndex && a.qIndex == b.qIndex &&
           a.gainIndex == b.gainIndex && a.off == b.off;
}

} // namespace

bool EqParts::any() const {
    return trim || bypass || std::find(bands.begin(), bands.end(), true) != bands.end();
}

EqParts differingParts(const EqSetting& a, const EqSetting& b) {
    EqParts parts;
    for (int n = 1; n <= BandCount; ++n) {
        parts.bands[static_cast<std::size_t>(n - 1)] = !sameAsEdited(a.band(n), b.band(n));
    }
    parts.trim = a.trimDb != b.trimDb;
    parts.bypass = a.bypass != b.bypass;
    return parts;
}

void copyParts(EqSetting& target, const EqSetting& source, const EqParts& parts) {
    for (int n = 1; n <= BandCount; ++n) {
        if (parts.band(n)) {
            const bool deviceOff = target.band(n).deviceOff;
            target.band(n) = source.band(n);
            target.band(n).deviceOff = deviceOff;
        }
    }
    if (parts.trim) {
        target.trimDb = source.trimDb;
    }
    if (parts.bypass) {
        target.bypass = source.bypass;
    }
}

EqHistory::EqHistory(std::size_t depth) : depth_(std::max<std::size_t>(depth, 1)) {}

bool EqHistory::record(const EqSetting& before, const EqSetting& after) {
    const EqParts parts = differingParts(before, after);
    if (!parts.any()) {
        return false;
    }
    redo_.clear();
    undo_.push_back(Step{before, after, parts});
    if (undo_.size() > depth_) {
        undo_.pop_front();
    }
    return true;
}

std::optional<EqHistory::Step> EqHistory::move(std::deque<Step>& from, std::deque<Step>& to) {
    if (from.empty()) {
        return std::nullopt;
    }
    Step step = from.back();
    from.pop_back();
    to.push_back(step);
    return step;
}

std::optional<EqHistory::Step> EqHistory::undo() {
    return move(undo_, redo_);
}

std::optional<EqHistory::Step> EqHistory::redo() {
    return move(redo_, undo_);
}

} // namespace tq50r::eq
