// Level edits in the cutting session: the selection's gain and fades, and the whole timeline's
// gain, as segments of the edited timeline split at the selection's edges; each one a step that
// undo takes back and redo puts again.
#include <gtest/gtest.h>

#include "models/cuttingmessages.h"
#include "models/cuttingsession.h"
#include "support/testfiles.h"

namespace {

constexpr int kRate = 44100;

// A segment in seconds of the source, with its level.
struct Seg {
    double from, to;
    int gain;
    double fadeIn, fadeOut;
    bool operator==(const Seg&) const = default;
};

std::vector<Seg> Segments(const CuttingSession& session) {
    std::vector<Seg> out;
    for (const EditSegment& s : session.Edits().Segments())
        out.push_back({double(s.source.start) / kRate, double(s.source.end) / kRate, s.level.gainSteps,
                       double(s.level.fadeInSamples) / kRate, double(s.level.fadeOutSamples) / kRate});
    return out;
}

std::string Describe(const std::vector<Seg>& segments) {
    std::string text;
    for (const Seg& s : segments)
        text += "[" + std::to_string(s.from) + "," + std::to_string(s.to) + " g" + std::to_string(s.gain) + " in" +
                std::to_string(s.fadeIn) + " out" + std::to_string(s.fadeOut) + "] ";
    return text;
}

TEST(SessionLevel, LevelEditsSplitTheTimelineAndUndoTakesEachBack) {
    enum Op { Gain, FadeIn, FadeOut, Normalise, Cut };
    struct Step {
        Op op;
        double from, to;  // the selection (unused by Normalise)
        int steps;        // Gain, Normalise
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::vector<Seg> expected;
        const char* refusal;  // of the last step; nothing changed then
    };
    const Case cases[] = {
        {"gain of the middle", {{Gain, 2, 5, 2}}, {{0, 2, 0, 0, 0}, {2, 5, 2, 0, 0}, {5, 10, 0, 0, 0}}, nullptr},
        {"overlapping gains add up",
         {{Gain, 2, 5, 2}, {Gain, 4, 6, -1}},
         {{0, 2, 0, 0, 0}, {2, 4, 2, 0, 0}, {4, 5, 1, 0, 0}, {5, 6, -1, 0, 0}, {6, 10, 0, 0, 0}},
         nullptr},
        {"a gain taken back leaves one segment", {{Gain, 2, 5, 2}, {Gain, 2, 5, -2}}, {{0, 10, 0, 0, 0}}, nullptr},
        {"fade in at the start", {{FadeIn, 0, 3, 0}}, {{0, 10, 0, 3, 0}}, nullptr},
        {"fades at both ends", {{FadeIn, 0, 3, 0}, {FadeOut, 7, 10, 0}}, {{0, 10, 0, 3, 3}}, nullptr},
        {"a fade in the middle starts a segment", {{FadeIn, 4, 6, 0}}, {{0, 4, 0, 0, 0}, {4, 10, 0, 2, 0}}, nullptr},
        {"a fade out over a gained stretch", {{Gain, 2, 5, 3}, {FadeOut, 3, 5, 0}},
         {{0, 2, 0, 0, 0}, {2, 5, 3, 0, 2}, {5, 10, 0, 0, 0}}, nullptr},
        {"a fade over a join is refused", {{Cut, 2, 5, 0}, {FadeIn, 1, 3, 0}}, {{0, 2, 0, 0, 0}, {5, 10, 0, 0, 0}},
         kFadeAcrossJoin},
        {"normalising sets every segment's gain", {{Gain, 2, 5, 2}, {Normalise, 0, 0, 3}}, {{0, 10, 3, 0, 0}}, nullptr},
        {"normalising keeps the cuts", {{Cut, 2, 5, 0}, {Normalise, 0, 0, -2}}, {{0, 2, -2, 0, 0}, {5, 10, -2, 0, 0}},
         nullptr},
        {"a gain of the whole timeline is an edit", {{Gain, 0, 10, 1}}, {{0, 10, 1, 0, 0}}, nullptr},
    };
    testfiles::TempDir dir;
    const std::string path = dir.file("talk.mp3");
    testfiles::WriteFile(path, testfiles::Bytes(100000, 0x55));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CuttingSession session(nullptr, [] { return std::string("now"); });
        session.Open(path, "talk.mp3");
        session.SetDuration(10);
        session.SetTimeline(kRate, 10 * kRate);
        std::vector<Seg> before;
        SessionMarks marks;
        std::optional<Notice> refusal;
        for (const Step& step : c.steps) {
            if (step.op != Normalise) {
                ASSERT_FALSE(session.MarkSelection(step.from, step.to));
            }
            before = Segments(session);
            marks = session.Marks();
            switch (step.op) {
            case Gain: refusal = session.ChangeSelectionGain(step.steps); break;
            case FadeIn: refusal = session.FadeInSelection(); break;
            case FadeOut: refusal = session.FadeOutSelection(); break;
            case Normalise: refusal = session.SetTimelineGain(step.steps); break;
            case Cut: refusal = session.CutOutSelection(); break;
            }
        }
        EXPECT_EQ(refusal ? refusal->text : std::string(), c.refusal ? c.refusal : "");
        EXPECT_EQ(Segments(session), c.expected) << Describe(Segments(session));
        EXPECT_EQ(session.Edited(), c.expected.size() > 1 || !(c.expected[0] == Seg{0, 10, 0, 0, 0}));
        if (c.refusal) continue;
        EXPECT_EQ(session.Marks(), marks) << "a level edit keeps the selection";
        ASSERT_TRUE(session.UndoMarks());
        EXPECT_EQ(Segments(session), before) << Describe(Segments(session));
        ASSERT_TRUE(session.RedoMarks());
        EXPECT_EQ(Segments(session), c.expected);
    }
}

}  // namespace
