#include "models/joinlist.h"

#include <filesystem>
#include <utility>

#include "clips/clipfile.h"

void JoinList::Add(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    paths_.insert(paths_.end(), paths.begin(), paths.end());
    selected_ = static_cast<int>(paths_.size()) - 1;
}

void JoinList::Select(int index) {
    selected_ = index >= 0 && index < static_cast<int>(paths_.size()) ? index : -1;
}

bool JoinList::RemoveSelected() {
    if (selected_ < 0) return false;
    paths_.erase(paths_.begin() + selected_);
    const int count = static_cast<int>(paths_.size());
    if (selected_ >= count) selected_ = count - 1;
    return true;
}

bool JoinList::CanMove(int step) const {
    if (selected_ < 0 || (step != -1 && step != 1)) return false;
    const int to = selected_ + step;
    return to >= 0 && to < static_cast<int>(paths_.size());
}

bool JoinList::MoveSelected(int step) {
    if (!CanMove(step)) return false;
    std::swap(paths_[static_cast<size_t>(selected_)], paths_[static_cast<size_t>(selected_ + step)]);
    selected_ += step;
    return true;
}

std::string JoinList::Problem() const {
    if (paths_.empty()) return "Add the files to join, in the order they are to play.";
    if (paths_.size() == 1) return "Add at least one more file: joining takes two or more.";
    return {};
}

std::string JoinList::OutputProblem(const std::string& output) const {
    if (output.empty()) return "The joined file needs a name.";
    for (const std::string& path : paths_)
        if (path == output || ClipWouldReplaceSource(path, output))
            return "The joined file cannot be saved over one of the files it is joined from. "
                   "Please choose another name.";
    return {};
}

std::string JoinList::DefaultOutputName() const {
    if (paths_.empty()) return "joined.mp3";
    return std::filesystem::path(paths_.front()).stem().string() + " (joined).mp3";
}
