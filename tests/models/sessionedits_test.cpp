// Editing in the cutting session: cutting the selection out, keeping only it, the selection's gain
// and fades and the whole timeline's gain, as segments of the source with their level; undo and
// redo of edits and marks as one history; the refusals; and how a time of one timeline maps into
// the next.
#include <gtest/gtest.h>

#include <filesystem>

#include "models/cuttingmessages.h"
#include "models/cuttingsession.h"
#include "support/testfiles.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kS = kRate;  // one second in samples

// A segment in seconds of the source, with its level.
struct Seg {
    double from, to;
    int gain = 0;
    double fadeIn = 0, fadeOut = 0;
    bool operator==(const Seg&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seg& s) {
    return out << "[" << s.from << "," << s.to << " g" << s.gain << " in" << s.fadeIn << " out" << s.fadeOut << "]";
}

class SessionEdits : public ::testing::Test {
protected:
    SessionEdits() : session(nullptr, [] { return std::string("now"); }) {
        source = dir.file("talk.mp3");
        testfiles::Bytes bytes(100000);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 251);
        testfiles::WriteFile(source, bytes);
        session.Open(source, "talk.mp3");
        session.SetDuration(10);
        session.SetTimeline(kRate, 10 * kS);
    }
    void Select(double from, double to) { ASSERT_FALSE(session.MarkSelection(from, to)); }
    static std::string Text(const std::optional<Notice>& notice) { return notice ? notice->text : "(none)"; }
    std::vector<Seg> Segments() const {
        std::vector<Seg> out;
        for (const EditSegment& s : session.Edits().Segments())
            out.push_back({double(s.source.start) / kRate, double(s.source.end) / kRate, s.level.gainSteps,
                           double(s.level.fadeInSamples) / kRate, double(s.level.fadeOutSamples) / kRate});
        return out;
    }

    testfiles::TempDir dir;
    std::string source;
    CuttingSession session;
};

TEST_F(SessionEdits, EditsLeaveTheseSegmentsAndUndoTakesEachBack) {
    enum Op { Cut, Keep, Gain, FadeIn, FadeOut, Normalise };
    struct Step {
        Op op;
        double from, to;  // the selection (unused by Normalise)
        int steps = 0;    // Gain, Normalise
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<Seg> expected;
        const char* refusal = nullptr;  // of the last step; nothing changed then
    };
    const Case cases[] = {
        {"cut from the middle", {{Cut, 2, 5}}, {{0, 2}, {5, 10}}},
        {"cut the head", {{Cut, 0, 1.5}}, {{1.5, 10}}},
        {"cut the whole tail", {{Cut, 4, 10}}, {{0, 4}}},
        {"keep the middle", {{Keep, 2, 5}}, {{2, 5}}},
        {"a second cut across the first join", {{Cut, 2, 5}, {Cut, 1, 3}}, {{0, 1}, {6, 10}}},
        {"keep across a join", {{Cut, 2, 5}, {Keep, 1.25, 2.5}}, {{1.25, 2}, {5, 5.5}}},
        {"gain of the middle", {{Gain, 2, 5, 2}}, {{0, 2}, {2, 5, 2}, {5, 10}}},
        {"overlapping gains add up", {{Gain, 2, 5, 2}, {Gain, 4, 6, -1}}, {{0, 2}, {2, 4, 2}, {4, 5, 1}, {5, 6, -1}, {6, 10}}},
        {"a gain taken back leaves one segment", {{Gain, 2, 5, 2}, {Gain, 2, 5, -2}}, {{0, 10}}},
        {"fades at both ends", {{FadeIn, 0, 3}, {FadeOut, 7, 10}}, {{0, 10, 0, 3, 3}}},
        {"a fade in the middle starts a segment", {{FadeIn, 4, 6}}, {{0, 4}, {4, 10, 0, 2}}},
        {"a fade out over a gained stretch", {{Gain, 2, 5, 3}, {FadeOut, 3, 5}}, {{0, 2}, {2, 5, 3, 0, 2}, {5, 10}}},
        {"a fade over a join is refused", {{Cut, 2, 5}, {FadeIn, 1, 3}}, {{0, 2}, {5, 10}}, kFadeAcrossJoin},
        {"normalising sets every segment's gain", {{Gain, 2, 5, 2}, {Normalise, 0, 0, 3}}, {{0, 10, 3}}},
        {"normalising keeps the cuts", {{Cut, 2, 5}, {Normalise, 0, 0, -2}}, {{0, 2, -2}, {5, 10, -2}}},
        {"a gain of the whole timeline is an edit", {{Gain, 0, 10, 1}}, {{0, 10, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        while (session.UndoMarks()) {
        }
        ASSERT_FALSE(session.Edited());
        std::vector<Seg> before;
        SessionMarks marks;
        std::optional<Notice> refusal;
        for (const Step& step : c.steps) {
            if (step.op != Normalise) Select(step.from, step.to);
            before = Segments();
            marks = session.Marks();
            switch (step.op) {
            case Cut: refusal = session.CutOutSelection(); break;
            case Keep: refusal = session.KeepOnlySelection(); break;
            case Gain: refusal = session.ChangeSelectionGain(step.steps); break;
            case FadeIn: refusal = session.FadeInSelection(); break;
            case FadeOut: refusal = session.FadeOutSelection(); break;
            case Normalise: refusal = session.SetTimelineGain(step.steps); break;
            }
        }
        EXPECT_EQ(refusal ? refusal->text : std::string(), c.refusal ? c.refusal : "");
        EXPECT_EQ(Segments(), c.expected);
        EXPECT_EQ(session.Edited(), (c.expected != std::vector<Seg>{{0, 10}}));
        double length = 0;
        for (const Seg& s : c.expected) length += s.to - s.from;
        EXPECT_NEAR(session.EditedSeconds(), length, 1e-9);
        if (c.refusal) continue;
        const Op last = c.steps.back().op;
        if (last == Cut || last == Keep) {
            EXPECT_FALSE(session.Start().set) << "the selection went with the edit";
            EXPECT_FALSE(session.Band().shown);
        } else {
            EXPECT_EQ(session.Marks(), marks) << "a level edit keeps the selection";
        }
        const std::vector<Seg> after = Segments();
        ASSERT_TRUE(session.UndoMarks());
        EXPECT_EQ(Segments(), before);
        ASSERT_TRUE(session.RedoMarks());
        EXPECT_EQ(Segments(), after);
    }
}

// Each step is put back exactly, marks and edits together.
TEST_F(SessionEdits, UndoAndRedoTakeEditsAndMarksTogether) {
    EXPECT_FALSE(session.UndoMarks());
    Select(2, 5);
    const SessionMarks selected = session.Marks();
    ASSERT_FALSE(session.CutOutSelection());
    Select(1, 3);
    const SessionMarks second = session.Marks();
    ASSERT_FALSE(session.MoveEndTo(3.5));  // a drag
    const SessionMarks dragged = session.Marks();
    ASSERT_FALSE(session.KeepOnlySelection());
    const std::vector<Seg> kept = Segments();
    Select(0.5, 1.5);
    session.NewSelection();  // the band goes
    const SessionMarks last = session.Marks();

    ASSERT_TRUE(session.UndoMarks());
    EXPECT_TRUE(session.Band().shown);
    ASSERT_TRUE(session.UndoMarks());  // the marking of 0.5..1.5
    ASSERT_TRUE(session.UndoMarks());  // the keep
    EXPECT_EQ(session.Marks(), dragged);
    EXPECT_EQ(Segments(), (std::vector<Seg>{{0, 2}, {5, 10}}));
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_EQ(session.Marks(), second);
    ASSERT_TRUE(session.UndoMarks());  // the marking of 1..3
    ASSERT_TRUE(session.UndoMarks());  // the cut
    EXPECT_EQ(session.Marks(), selected);
    EXPECT_FALSE(session.Edited());
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_FALSE(session.Start().set);
    EXPECT_FALSE(session.UndoMarks());
    for (int i = 0; i < 7; ++i) ASSERT_TRUE(session.RedoMarks());
    EXPECT_EQ(session.Marks(), last);
    EXPECT_EQ(Segments(), kept);
    EXPECT_FALSE(session.RedoMarks());
    // An unchanged mark is no step: the redo stays.
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_FALSE(session.MoveEndBy(0));
    EXPECT_TRUE(session.CanRedoMarks());
    // Marks put back whole as an undo puts them.
    session.RestoreMarks(dragged);
    EXPECT_EQ(session.Marks(), dragged);
    EXPECT_FALSE(session.CheckSaveSelection());

    // A new file starts without edits or history.
    session.Open(source, "talk.mp3");
    EXPECT_FALSE(session.Edited());
    EXPECT_FALSE(session.CanUndoMarks());
    // Marks set while the length is still being measured: undoing them keeps the timeline.
    session.SetDuration(10);
    Select(2, 5);
    session.SetTimeline(kRate, 10 * kS);
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_DOUBLE_EQ(session.EditedSeconds(), 10.0);
}

TEST_F(SessionEdits, EditsAreRefusedWithTheirReasonAndChangeNothing) {
    CuttingSession fresh(nullptr, [] { return std::string(); });
    EXPECT_EQ(Text(fresh.CutOutSelection()), kOpenFirst);
    EXPECT_EQ(Text(session.KeepOnlySelection()), kStartMissing);
    ASSERT_FALSE(session.SetStartAt(3));
    EXPECT_EQ(Text(session.CutOutSelection()), kEndMissing);
    Select(6, 4);
    EXPECT_EQ(Text(session.CutOutSelection()), kEndBeforeStart);
    Select(0, 10);
    EXPECT_EQ(Text(session.CutOutSelection()), kNothingLeft);
    EXPECT_FALSE(session.KeepOnlySelection()) << "keeping everything is allowed, and changes nothing";
    EXPECT_FALSE(session.Edited());

    CuttingSession untimed(nullptr, [] { return std::string(); });
    untimed.Open(source, "talk.mp3");
    ASSERT_TRUE(untimed.SetDuration(10));
    untimed.MarkSelection(1, 2);
    EXPECT_EQ(Text(untimed.CutOutSelection()), kWaitForLength) << "no timeline before the length is exact";
}

TEST_F(SessionEdits, TimesMapFromOneTimelineToTheNext) {
    const EditList whole = session.Edits();
    Select(2, 5);
    ASSERT_FALSE(session.CutOutSelection());
    const EditList cut = session.Edits();
    struct Case {
        double before;
        std::optional<double> after;
        double back;  // the time of the cut timeline mapped back to the whole one
    };
    for (const Case c : {Case{1.0, 1.0, 1.0}, Case{2.0, 2.0, 5.0}, Case{3.0, std::nullopt, 0},
                         Case{4.999, std::nullopt, 0}, Case{5.0, 2.0, 5.0}, Case{9.5, 6.5, 9.5}, Case{10.0, 7.0, 10.0}}) {
        const std::optional<double> mapped = CuttingSession::MapSeconds(whole, cut, kRate, c.before);
        ASSERT_EQ(mapped.has_value(), c.after.has_value()) << c.before;
        if (!mapped) continue;
        EXPECT_NEAR(*mapped, *c.after, 1e-9) << c.before;
        const std::optional<double> back = CuttingSession::MapSeconds(cut, whole, kRate, *mapped);
        ASSERT_TRUE(back.has_value()) << "every time of the cut timeline is in the whole one";
        EXPECT_NEAR(*back, c.back, 1e-9) << c.before;
    }
    EXPECT_NEAR(session.SourceSecondsAt(2.5), 5.5, 1e-9);
}

TEST_F(SessionEdits, AClipOfTheEditedTimelineIsCutFromWhereItsSoundComesFrom) {
    Select(6, 7.5);
    std::string error;
    const std::string plain = dir.file("plain.mp3");
    ASSERT_TRUE(session.SaveSelection(plain, false, &error)) << error;
    Select(2, 5);
    ASSERT_FALSE(session.CutOutSelection());
    Select(3, 4.5);  // source 6..7.5 now
    const std::string edited = dir.file("edited.mp3");
    ASSERT_TRUE(session.SaveSelection(edited, false, &error)) << error;
    EXPECT_EQ(testfiles::ReadFile(edited), testfiles::ReadFile(plain));

    Select(1, 3);  // across the join
    EXPECT_FALSE(session.SaveSelection(dir.file("across.mp3"), false, &error));
    EXPECT_EQ(error, kSelectionAcrossJoin);
    EXPECT_FALSE(std::filesystem::exists(dir.file("across.mp3")));
}

}  // namespace
