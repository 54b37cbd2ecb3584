#include "split/splitplan.h"

#include <cmath>
#include <utility>

SplitPlan::SplitPlan(double durationSeconds)
    : duration_(std::isfinite(durationSeconds) && durationSeconds > 0 ? durationSeconds : 0),
      end_(duration_) {}

bool SplitPlan::SetRange(double begin, double end) {
    if (!std::isfinite(begin) || !std::isfinite(end) || begin < 0 || end > duration_ || begin >= end) return false;
    if (!cuts_.empty() && (cuts_.front().start <= begin || cuts_.back().end >= end)) return false;
    begin_ = begin;
    end_ = end;
    return true;
}

int SplitPlan::PartHolding(double start, double end) const {
    if (!std::isfinite(start) || !std::isfinite(end) || start > end) return -1;
    for (size_t i = 0; i < PartCount(); ++i) {
        const PlannedPart p = Part(i);
        if (start > p.start && end < p.end) return static_cast<int>(i);
    }
    return -1;
}

int SplitPlan::Insert(size_t part, CutPoint cut) {
    cuts_.insert(cuts_.begin() + static_cast<std::ptrdiff_t>(part), cut);
    texts_.insert(texts_.begin() + static_cast<std::ptrdiff_t>(part) + 1, Texts{});
    return static_cast<int>(part);
}

int SplitPlan::AddCut(double seconds) { return AddGap(seconds, seconds); }

int SplitPlan::AddGap(double start, double end) {
    const int part = PartHolding(start, end);
    if (part < 0) return -1;
    return Insert(static_cast<size_t>(part), CutPoint{start, end});
}

bool SplitPlan::MoveCut(size_t index, double seconds) {
    if (index >= cuts_.size() || !std::isfinite(seconds)) return false;
    const double length = cuts_[index].end - cuts_[index].start;
    const double low = index == 0 ? begin_ : cuts_[index - 1].end;
    const double high = index + 1 == cuts_.size() ? end_ : cuts_[index + 1].start;
    if (!(seconds > low) || !(seconds + length < high)) return false;
    cuts_[index] = CutPoint{seconds, seconds + length};
    return true;
}

bool SplitPlan::RemoveCut(size_t index) {
    if (index >= cuts_.size()) return false;
    cuts_.erase(cuts_.begin() + static_cast<std::ptrdiff_t>(index));
    texts_.erase(texts_.begin() + static_cast<std::ptrdiff_t>(index) + 1);
    return true;
}

void SplitPlan::ClearCuts() {
    cuts_.clear();
    texts_.resize(1);
}

PlannedPart SplitPlan::Part(size_t index) const {
    PlannedPart p;
    if (index >= PartCount()) return p;
    p.start = index == 0 ? begin_ : cuts_[index - 1].end;
    p.end = index == cuts_.size() ? end_ : cuts_[index].start;
    p.title = texts_[index].title;
    p.performer = texts_[index].performer;
    return p;
}

void SplitPlan::SetPartTitle(size_t index, std::string title) {
    if (index < texts_.size()) texts_[index].title = std::move(title);
}

void SplitPlan::SetPartPerformer(size_t index, std::string performer) {
    if (index < texts_.size()) texts_[index].performer = std::move(performer);
}
