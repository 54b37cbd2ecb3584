#pragma once
// The files of a join as the join dialog lists them: their order, the selected one, and what
// stands in the way of joining them. No widgets: the dialog shows this list and calls into it.
#include <string>
#include <vector>

class JoinList {
public:
    // Appends the files in the order given and selects the last of them.
    void Add(const std::vector<std::string>& paths);
    // -1 selects none; an index outside the list does too.
    void Select(int index);
    // Removes the selected file; the file that takes its place (or the new last one) is selected.
    bool RemoveSelected();
    // Moves the selected file one place earlier (-1) or later (+1); the selection goes with it.
    // False at either end or with nothing selected.
    bool MoveSelected(int step);

    const std::vector<std::string>& Paths() const { return paths_; }
    int Selected() const { return selected_; }
    bool CanRemove() const { return selected_ >= 0; }
    bool CanMove(int step) const;

    // Empty when the listed files are enough to join; else the text that says what is missing.
    std::string Problem() const;
    // Empty when the join may be written to `output`; else why not. One of the listed files is
    // never replaced by the join, whatever name or link leads to it.
    std::string OutputProblem(const std::string& output) const;
    // "<first file's title> (joined).mp3", or "joined.mp3" for an empty list.
    std::string DefaultOutputName() const;

private:
    std::vector<std::string> paths_;
    int selected_ = -1;
};
