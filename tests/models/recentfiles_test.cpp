// The recent files list: newest first, one entry per file, at most ten, and files that are gone
// dropped before the list is shown.
#include <gtest/gtest.h>

#include "models/recentfiles.h"
#include "support/testfiles.h"

namespace {

std::vector<std::string> Names(int from, int to) {
    std::vector<std::string> names;
    for (int i = from; i <= to; ++i) names.push_back("/music/" + std::to_string(i) + ".mp3");
    return names;
}

TEST(RecentFiles, NewestFirstOnceEachAndAtMostTen) {
    struct Case {
        const char* what;
        std::vector<std::string> stored;
        std::vector<std::string> opened;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"opening adds at the top", {"/a.mp3"}, {"/b.mp3"}, {"/b.mp3", "/a.mp3"}},
        {"an opened file moves up", {"/a.mp3", "/b.mp3", "/c.mp3"}, {"/c.mp3"}, {"/c.mp3", "/a.mp3", "/b.mp3"}},
        {"the eleventh pushes the oldest out", Names(1, 10), {"/new.mp3"},
         [] {
             auto names = Names(1, 9);
             names.insert(names.begin(), "/new.mp3");
             return names;
         }()},
        {"a stored list is deduplicated and capped", [] {
             auto names = Names(1, 12);
             names.insert(names.begin() + 1, "/music/1.mp3");
             names.insert(names.begin(), "");
             return names;
         }(), {}, Names(1, 10)},
    };
    for (const Case& c : cases) {
        RecentFiles recent;
        recent.Set(c.stored);
        for (const std::string& path : c.opened) recent.Add(path);
        EXPECT_EQ(recent.Paths(), c.expected) << c.what;
    }
}

TEST(RecentFiles, FilesThatAreGoneAreDropped) {
    testfiles::TempDir dir;
    const std::string kept = dir.file("kept.mp3");
    const std::string gone = dir.file("gone.mp3");
    testfiles::WriteFile(kept, {1, 2, 3});
    RecentFiles recent;
    recent.Set({gone, kept, dir.path().string()});
    EXPECT_TRUE(recent.DropMissing()) << "a missing file and a folder go";
    EXPECT_EQ(recent.Paths(), std::vector<std::string>{kept});
    EXPECT_FALSE(recent.DropMissing());
}

}  // namespace
