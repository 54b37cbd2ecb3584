#pragma once
// The cutting window's cut points: the split plan of the open file, and which cut point is
// selected. The plan exists once the file's exact length is known (its frames walked); until then
// cut points cannot be placed. Form1's cut point list, waveform lines and "Save all parts..." all
// show and change this one plan.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "split/splitplan.h"

class CutPointsModel {
public:
    // A file is opened: no plan until its length arrives.
    void Reset();
    // The file's decoded length; starts an empty plan over it.
    void SetDuration(double seconds);
    bool Ready() const { return ready_; }
    const SplitPlan& Plan() const { return plan_; }

    // The cut point's index, or -1 when `seconds` is not strictly inside a part (or no plan yet).
    int Add(double seconds);
    bool Move(size_t index, double seconds);
    bool Remove(size_t index);
    bool Rename(size_t part, const std::string& title);
    // A plan built elsewhere (pauses found, a cue sheet applied) over the same file.
    void Replace(const SplitPlan& plan);
    // The timeline was edited: every time goes through `map` (old seconds to new, nothing for a
    // time that was cut out) and the plan now spans `duration`. A cut point cut out goes and its
    // two parts become one, with the first one's texts; the others keep theirs.
    void Remap(const std::function<std::optional<double>(double)>& map, double duration);

    // The selected cut point, -1 for none. Kept valid through every change above.
    int Selected() const { return selected_; }
    void Select(int index);

private:
    SplitPlan plan_;
    bool ready_ = false;
    int selected_ = -1;
};
