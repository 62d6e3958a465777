// Undo and redo of EQ edits. A step keeps the setting before and after one edit (a click, a typed
// value, a whole drag or hold, a reset or an opened file) and which parts it changed; taking it
// back restores only those parts, so a change the device made in between is left alone.
#pragma once

#include "eq/eq_setting.h"

#include <array>
#include <cstddef>
#include <deque>
#include <optional>

namespace tq50r::eq {

// The parts of a setting an edit can change: each band, the trim, the bypass switch.
struct EqParts {
    std::array<bool, BandCount> bands{};
    bool trim = false;
    bool bypass = false;

    bool any() const;
    bool band(int n) const { return bands.at(static_cast<std::size_t>(n - 1)); }
};

// The parts in which two settings differ as the user edits them: a band's type (mod 3),
// frequency, Q, gain and `off`; the trim; the bypass. `deviceOff` is the device's and not compared.
EqParts differingParts(const EqSetting& a, const EqSetting& b);
// Copies the named parts of `source` into `target`; `deviceOff` stays as `target` holds it.
void copyParts(EqSetting& target, const EqSetting& source, const EqParts& parts);

class EqHistory {
public:
    static constexpr std::size_t DefaultDepth = 500;

    struct Step {
        EqSetting before;
        EqSetting after;
        EqParts parts;
    };

    explicit EqHistory(std::size_t depth = DefaultDepth);

    // Records one edit and forgets what could be redone. An edit that changed nothing is not kept
    // (false). The oldest step goes when the depth is reached.
    bool record(const EqSetting& before, const EqSetting& after);
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    std::size_t undoCount() const { return undo_.size(); }
    // The step to take back (restore its `before` in its parts), now redoable; none when empty.
    std::optional<Step> undo();
    // The step to make again (restore its `after` in its parts), now undoable again.
    std::optional<Step> redo();

private:
    // Takes the newest step of one list and keeps it on the other.
    static std::optional<Step> move(std::deque<Step>& from, std::deque<Step>& to);

    std::size_t depth_;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
};

} // namespace tq50r::eq
