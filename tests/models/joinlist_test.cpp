// The join dialog's list: files keep the order they are added and moved into, the selection
// follows its file, and the join is refused while fewer than two files are listed or when the
// joined file would replace one of them.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "models/joinlist.h"
#include "support/testfiles.h"

namespace {

struct Step {
    const char* op;  // add, select, remove, up, down
    std::vector<std::string> files;
    int index;
    bool changes;  // what the step returns (add and select always go ahead)
};

bool Apply(JoinList& list, const Step& step) {
    const std::string op = step.op;
    if (op == "add") list.Add(step.files);
    if (op == "select") list.Select(step.index);
    if (op == "remove") return list.RemoveSelected();
    if (op == "up") return list.MoveSelected(-1);
    if (op == "down") return list.MoveSelected(1);
    return true;
}

TEST(JoinList, OrderSelectionAndWhenAJoinCanGoAhead) {
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<std::string> order;
        int selected;
        bool joinable;
    };
    const Step abc{"add", {"a", "b", "c"}, 0, true};
    const Case cases[] = {
        {"files keep the order they are added in; the last added is selected",
         {{"add", {"a", "b"}, 0, true}, {"add", {"c"}, 0, true}}, {"a", "b", "c"}, 2, true},
        {"moving up takes the selection along and stops at the top",
         {abc, {"up", {}, 0, true}, {"up", {}, 0, true}, {"up", {}, 0, false}}, {"c", "a", "b"}, 0, true},
        {"moving down stops at the end",
         {abc, {"select", {}, 0, true}, {"down", {}, 0, true}, {"down", {}, 0, true}, {"down", {}, 0, false}},
         {"b", "c", "a"}, 2, true},
        {"removing selects the file that takes the place; one file left cannot be joined",
         {abc, {"select", {}, 1, true}, {"remove", {}, 0, true}, {"remove", {}, 0, true}}, {"a"}, 0, false},
        {"removing the last file selects the new last", {abc, {"remove", {}, 0, true}}, {"a", "b"}, 1, true},
        {"with nothing selected nothing is removed or moved",
         {abc, {"select", {}, -1, true}, {"remove", {}, 0, false}, {"up", {}, 0, false}, {"down", {}, 0, false}},
         {"a", "b", "c"}, -1, true},
        {"an index outside the list selects nothing", {abc, {"select", {}, 3, true}, {"remove", {}, 0, false}},
         {"a", "b", "c"}, -1, true},
        {"an empty list", {{"add", {}, 0, true}, {"remove", {}, 0, false}}, {}, -1, false},
    };
    for (const Case& c : cases) {
        JoinList list;
        for (size_t i = 0; i < c.steps.size(); ++i)
            EXPECT_EQ(Apply(list, c.steps[i]), c.steps[i].changes) << c.what << ", step " << i;
        EXPECT_EQ(list.Paths(), c.order) << c.what;
        EXPECT_EQ(list.Selected(), c.selected) << c.what;
        EXPECT_EQ(list.Problem().empty(), c.joinable) << c.what << ": " << list.Problem();
    }
}

TEST(JoinList, TheJoinedFileIsNamedAfterTheFirstAndNeverReplacesAnInput) {
    testfiles::TempDir dir;
    const std::string a = dir.file("Show 12.mp3"), b = dir.file("b.mp3"), other = dir.file("other.mp3");
    for (const std::string& path : {a, b, other}) testfiles::WriteFile(path, testfiles::SilentFrames(3));
    std::filesystem::create_symlink(a, dir.file("alias.mp3"));
    JoinList list;
    EXPECT_EQ(list.DefaultOutputName(), "joined.mp3");
    list.Add({a, b});
    EXPECT_EQ(list.DefaultOutputName(), "Show 12 (joined).mp3");
    struct Case {
        std::string output;
        bool allowed;
    };
    const Case cases[] = {
        {dir.file("new.mp3"), true},
        {other, true},  // the save dialog asked before it gave an existing file
        {a, false},
        {dir.file("alias.mp3"), false},
        {(dir.path() / "." / "b.mp3").string(), false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(list.OutputProblem(c.output).empty(), c.allowed) << c.output;
    list.MoveSelected(-1);
    EXPECT_EQ(list.DefaultOutputName(), "b (joined).mp3") << "named after the file now first";
}

}  // namespace
