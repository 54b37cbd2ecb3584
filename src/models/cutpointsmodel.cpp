#include "models/cutpointsmodel.h"

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
