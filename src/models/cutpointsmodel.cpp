#include "models/cutpointsmodel.h"

#include <algorithm>

void CutPointsModel::Reset() {
    plan_ = SplitPlan();
    ready_ = false;
    selected_ = -1;
}

void CutPointsModel::SetDuration(double seconds) {
    plan_ = SplitPlan(seconds);
    ready_ = seconds > 0;
    selected_ = -1;
}

int CutPointsModel::Add(double seconds) {
    if (!ready_) return -1;
    const int index = plan_.AddCut(seconds);
    if (index >= 0) selected_ = index;
    return index;
}

bool CutPointsModel::Move(size_t index, double seconds) {
    if (!ready_ || index >= plan_.CutCount()) return false;
    if (!plan_.MoveCut(index, seconds)) return false;
    selected_ = static_cast<int>(index);
    return true;
}

bool CutPointsModel::Remove(size_t index) {
    if (!ready_ || !plan_.RemoveCut(index)) return false;
    const int removed = static_cast<int>(index);
    if (selected_ == removed)
        selected_ = -1;
    else if (selected_ > removed)
        --selected_;
    return true;
}

bool CutPointsModel::Rename(size_t part, const std::string& title) {
    if (!ready_ || part >= plan_.PartCount()) return false;
    plan_.SetPartTitle(part, title);
    return true;
}

void CutPointsModel::Replace(const SplitPlan& plan) {
    plan_ = plan;
    ready_ = plan.Duration() > 0;
    selected_ = -1;
}

void CutPointsModel::Select(int index) {
    selected_ = index >= 0 && static_cast<size_t>(index) < plan_.CutCount() ? index : -1;
}

void CutPointsModel::Remap(const std::function<std::optional<double>(double)>& map, double duration) {
    if (!ready_) return;
    const SplitPlan old = plan_;
    plan_ = SplitPlan(duration);
    ready_ = duration > 0;
    selected_ = -1;
    const std::optional<double> begin = map(old.RangeBegin());
    const std::optional<double> end = map(old.RangeEnd());
    if (old.RangeBegin() > 0 || old.RangeEnd() < old.Duration())
        plan_.SetRange(begin.value_or(0), end.value_or(duration));
    auto copyTexts = [&](size_t to, size_t from) {
        plan_.SetPartTitle(to, old.Part(from).title);
        plan_.SetPartPerformer(to, old.Part(from).performer);
    };
    copyTexts(0, 0);
    for (size_t i = 0; i < old.CutCount(); ++i) {
        const std::optional<double> start = map(old.Cut(i).start);
        const std::optional<double> stop = map(old.Cut(i).end);
        if (!start || !stop) continue;
        const int index = plan_.AddGap(*start, std::max(*start, *stop));
        if (index >= 0) copyTexts(static_cast<size_t>(index) + 1, i + 1);
    }
}
