#pragma once
// The files opened lately, newest first, for File > Open Recent. A file opened again moves to
// the top; beyond kCapacity the oldest goes. Files that no longer exist are dropped whenever the
// list is read for showing, so the menu never offers a file that cannot open.
#include <cstddef>
#include <string>
#include <vector>

class RecentFiles {
public:
    static constexpr size_t kCapacity = 10;

    // The list as stored between runs; duplicates and the excess are dropped.
    void Set(const std::vector<std::string>& paths);
    void Add(const std::string& path);
    void Remove(const std::string& path);
    // Drops the files that are gone; true when the list changed.
    bool DropMissing();
    const std::vector<std::string>& Paths() const { return paths_; }

private:
    std::vector<std::string> paths_;
};
