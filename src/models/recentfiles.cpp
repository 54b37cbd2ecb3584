#include "models/recentfiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

void RecentFiles::Set(const std::vector<std::string>& paths) {
    paths_.clear();
    for (const std::string& path : paths) {
        if (path.empty() || std::find(paths_.begin(), paths_.end(), path) != paths_.end()) continue;
        paths_.push_back(path);
        if (paths_.size() == kCapacity) break;
    }
}

void RecentFiles::Add(const std::string& path) {
    if (path.empty()) return;
    Remove(path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kCapacity) paths_.resize(kCapacity);
}

void RecentFiles::Remove(const std::string& path) { std::erase(paths_, path); }

bool RecentFiles::DropMissing() {
    const size_t before = paths_.size();
    std::erase_if(paths_, [](const std::string& path) {
        std::error_code ec;
        return !std::filesystem::is_regular_file(path, ec);
    });
    return paths_.size() != before;
}
