#pragma once
// Where a file is cut into parts, and what the parts are called: the model that the cutting
// window's cut point list and `trimbel split` both drive.
//
// Times are seconds of decoded audio. A cut point ends one part and starts the next; a cut point
// with a gap (a pause trimmed away) ends the part at Start and starts the next at End, and the
// audio between goes into no part. The kept range (the whole file unless narrowed) bounds the
// first and the last part. Parts are numbered from 0 here; there is always one part more than
// cut points.
//
//   SplitPlan plan(source.DurationSeconds());
//   plan.AddCut(61.5);               // the window's "add cut point" at the play position
//   plan.SetPartTitle(1, "Second");  // the list's name column
//   plan.MoveCut(0, 62.0);           // a dragged mark
//   SaveParts(source, plan, options, progress);
#include <cstddef>
#include <string>
#include <vector>

struct CutPoint {
    double start = 0;  // the part before ends here
    double end = 0;    // the part after starts here; above `start` for a trimmed pause
};

struct PlannedPart {
    double start = 0;
    double end = 0;
    std::string title;      // empty: the file name is used
    std::string performer;  // empty: the source's artist is kept
};

class SplitPlan {
public:
    SplitPlan() = default;
    explicit SplitPlan(double durationSeconds);

    double Duration() const { return duration_; }
    // Narrows the kept range (drops a lead-in or a tail); false when it would cut off a cut point.
    bool SetRange(double begin, double end);
    double RangeBegin() const { return begin_; }
    double RangeEnd() const { return end_; }

    size_t CutCount() const { return cuts_.size(); }
    const CutPoint& Cut(size_t index) const { return cuts_[index]; }
    // Adds a cut point inside a part; the part before keeps its texts, the part after starts
    // without. Returns the new cut point's index, -1 when `seconds` is not strictly inside a part.
    int AddCut(double seconds);
    // A cut point that leaves [start, end) out, for a pause trimmed away; -1 when the span is not
    // strictly inside one part.
    int AddGap(double start, double end);
    // Moves the cut point (a gap keeps its length) to start at `seconds`; false, and nothing
    // changes, when it would reach or pass a neighbour or the range's ends.
    bool MoveCut(size_t index, double seconds);
    // The parts on both sides become one, with the texts of the first; false for a bad index.
    bool RemoveCut(size_t index);
    void ClearCuts();

    size_t PartCount() const { return cuts_.size() + 1; }
    PlannedPart Part(size_t index) const;
    void SetPartTitle(size_t index, std::string title);
    void SetPartPerformer(size_t index, std::string performer);

private:
    struct Texts {
        std::string title;
        std::string performer;
    };
    // Index of the part whose open interval holds [start, end], -1 if none.
    int PartHolding(double start, double end) const;
    int Insert(size_t part, CutPoint cut);

    double duration_ = 0;
    double begin_ = 0;
    double end_ = 0;
    std::vector<CutPoint> cuts_;
    std::vector<Texts> texts_{Texts{}};
};
