// Editing in the cutting session: cutting the selection out and keeping only it, as source
// stretches; undo and redo of edits and marks as one history; the refusals; and how a time of one
// timeline maps into the next.
#include <gtest/gtest.h>

#include <filesystem>

#include "models/cuttingmessages.h"
#include "models/cuttingsession.h"
#include "support/testfiles.h"

namespace {

constexpr int kRate = 44100;
constexpr int64_t kS = kRate;  // one second in samples
using Stretches = std::vector<std::pair<int64_t, int64_t>>;

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

    testfiles::TempDir dir;
    std::string source;
    CuttingSession session;
};

TEST_F(SessionEdits, CutOutAndKeepOnlyWorkOnTheEditedTimeline) {
    struct Step {
        bool keep;
        double from, to;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        Stretches expected;
    };
    const Case cases[] = {
        {"cut from the middle", {{false, 2, 5}}, {{0, 2 * kS}, {5 * kS, 10 * kS}}},
        {"cut the head", {{false, 0, 1.5}}, {{kS * 3 / 2, 10 * kS}}},
        {"keep the middle", {{true, 2, 5}}, {{2 * kS, 5 * kS}}},
        {"a second cut across the first join", {{false, 2, 5}, {false, 1, 3}}, {{0, kS}, {6 * kS, 10 * kS}}},
        {"keep across a join", {{false, 2, 5}, {true, 1.25, 2.5}}, {{kS * 5 / 4, 2 * kS}, {5 * kS, kS * 11 / 2}}},
        {"cut the whole tail", {{false, 4, 10}}, {{0, 4 * kS}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        while (session.UndoMarks()) {
        }
        ASSERT_FALSE(session.Edited());
        for (const Step& step : c.steps) {
            Select(step.from, step.to);
            const auto refusal = step.keep ? session.KeepOnlySelection() : session.CutOutSelection();
            ASSERT_FALSE(refusal) << Text(refusal);
        }
        EXPECT_EQ(session.SourceStretches(), c.expected);
        int64_t length = 0;
        for (const auto& [from, to] : c.expected) length += to - from;
        EXPECT_DOUBLE_EQ(session.EditedSeconds(), static_cast<double>(length) / kRate);
        EXPECT_FALSE(session.Start().set) << "the selection went with the edit";
        EXPECT_FALSE(session.Band().shown);
    }
}

TEST_F(SessionEdits, UndoAndRedoTakeEditsAndMarksTogether) {
    Select(2, 5);
    const SessionMarks selected = session.Marks();
    ASSERT_FALSE(session.CutOutSelection());
    Select(1, 3);
    const SessionMarks second = session.Marks();
    ASSERT_FALSE(session.KeepOnlySelection());
    const Stretches kept = session.SourceStretches();

    ASSERT_TRUE(session.UndoMarks());
    EXPECT_EQ(session.Marks(), second);
    EXPECT_EQ(session.SourceStretches(), (Stretches{{0, 2 * kS}, {5 * kS, 10 * kS}}));
    ASSERT_TRUE(session.UndoMarks());  // the marking of 1..3
    ASSERT_TRUE(session.UndoMarks());  // the cut
    EXPECT_EQ(session.Marks(), selected);
    EXPECT_FALSE(session.Edited());
    ASSERT_TRUE(session.RedoMarks());
    ASSERT_TRUE(session.RedoMarks());
    ASSERT_TRUE(session.RedoMarks());
    EXPECT_EQ(session.SourceStretches(), kept);
    EXPECT_FALSE(session.RedoMarks());

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
    session.ShowPosition(3);
    ASSERT_FALSE(session.SetStart(3, 3));
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
    ASSERT_TRUE(session.Edited());
    Select(3, 4.5);  // source 6..7.5 now
    ASSERT_TRUE(session.Edited());
    const std::string edited = dir.file("edited.mp3");
    ASSERT_TRUE(session.SaveSelection(edited, false, &error)) << error;
    EXPECT_EQ(testfiles::ReadFile(edited), testfiles::ReadFile(plain));

    Select(1, 3);  // across the join
    EXPECT_FALSE(session.SaveSelection(dir.file("across.mp3"), false, &error));
    EXPECT_EQ(error, kSelectionAcrossJoin);
    EXPECT_FALSE(std::filesystem::exists(dir.file("across.mp3")));
}

}  // namespace
