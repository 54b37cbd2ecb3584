// The cutting window's session without the window: marks, checks and their messages, the band,
// the byte range and the clip save with the tag hand-over.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "models/cuttingmessages.h"
#include "models/cuttingsession.h"
#include "models/tageditor.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

class RecordingHandOver : public TagHandOver {
public:
    void LoadFile(const std::string& path, const std::string& title) override { calls.push_back("load " + path + " | " + title); }
    void ShowFor(const std::string& path, const std::string& title) override { calls.push_back("show " + path + " | " + title); }
    bool WriteInto(const std::string& clip, std::string* error) override {
        calls.push_back("write");
        written = testfiles::ReadFile(clip);
        if (fail) *error = "no room for the tags";
        return !fail;
    }
    std::vector<std::string> calls;
    Bytes written;
    bool fail = false;
};

Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

class SessionTest : public ::testing::Test {
protected:
    SessionTest() : session(&tags, [this] { return clock; }) {
        source = dir.file("a.b.mp3");
        WriteFile(source, Pattern(160000));
    }
    // Open with a 10 s duration: 16000 bytes per second.
    void OpenTimed(double duration = 10) {
        session.ResetForOpen();
        session.Open(source, "a.b.mp3");
        ASSERT_TRUE(session.SetDuration(duration));
    }
    // Set start and Set end with the position display and the player at the same second.
    void Mark(double start, double end) {
        session.ShowPosition(start);
        ASSERT_FALSE(session.SetStart(start, static_cast<int>(start)));
        session.ShowPosition(end);
        ASSERT_FALSE(session.SetEnd(end, static_cast<int>(end)));
    }
    static std::string Text(const std::optional<Notice>& notice) { return notice ? notice->text : "(none)"; }

    TempDir dir;
    std::string source;
    std::string clock = "24/05/2024 14:03:07";
    RecordingHandOver tags;
    CuttingSession session;
};

TEST_F(SessionTest, OpenTakesPathNameSizeAndHandsTheFileToTheEditor) {
    EXPECT_EQ(Text(session.ShowTagEditor()), kFileFirst);
    OpenTimed();
    EXPECT_EQ(session.Path(), source);
    EXPECT_EQ(session.SongName(), "a.b.mp3");
    EXPECT_EQ(session.FileSize(), 160000);
    EXPECT_EQ(session.Rate(), 16000.0);
    EXPECT_EQ(tags.calls, std::vector<std::string>{"load " + source + " | a.b.mp3"});
    EXPECT_FALSE(session.ShowTagEditor());
    EXPECT_EQ(tags.calls.back(), "show " + source + " | a.b.mp3");
    EXPECT_EQ(session.DefaultClipName(), "Trimbel_ab24052024140307.mp3");
}

// Every way of setting a mark, each step as the window takes it; what the marks show and hold after.
TEST_F(SessionTest, MarksGiveTheseSecondsBytePositionsAndBand) {
    enum Op { Show, Start, End, StartAt, EndAt, StartTo, EndTo, StartBy, EndBy, Select, Reset };
    struct Step {
        Op op;
        double a, b = 0;  // seconds; Start and End: the player's, then the slider's second
    };
    struct Case {
        const char* what;
        double duration;
        std::vector<Step> steps;
        const char *start, *end, *length;
        std::optional<double> curStart, curEnd, curDuration;
        int bandStart, bandLength;
    };
    const double frame = 1152.0 / 44100;  // one MPEG frame: a nudge
    const double at12 = 540269.0 / 44100, at17 = 760725.0 / 44100;  // 12.251 and 17.25, binary noise below a ms
    const Case cases[] = {
        {"a start at 0 s is byte position 100 and the band's second 1; the display may lag the player",
         10, {{Show, 0}, {Start, 0, 0}, {Show, 4.9}, {End, 5, 5}}, "0 Secs", "4.9 Secs", "4.9 Secs", 100, 80000, 79900, 1, 4},
        {"numbers keep fifteen digits; the displays go by the millisecond", 3,
         {{Show, 1.0 / 3}, {Start, 1.0 / 3, 0}, {Show, 2.5}, {End, 2.5, 2}}, "0.333 Secs", "2.5 Secs", "2.167 Secs",
         17777.7777777778, 133333.333333333, 115555.555555555, 1, 1},
        {"positions as sample counts give them", 10, {{Show, at12}, {Start, at12, 12}, {Show, at17}, {End, at17, 17}},
         "12.251 Secs", "17.25 Secs", "4.999 Secs", 196015.963718821, 276000, 79984.036281179, 12, 5},
        {"an end before the start: negative length, the band from the lower mark", 10,
         {{Show, 6}, {Start, 6, 6}, {Show, 2.5}, {End, 2.5, 2}}, "6 Secs", "2.5 Secs", "-3.5 Secs", 96000, 40000,
         -56000, 2, 4},
        {"a display emptied by Open reads as 0", 10, {{Reset, 0}, {Start, 3, 3}}, " Secs", "", "", 48000, {}, {}, 3, 0},
        {"the buttons at 3.5 s and 6 s", 10, {{Show, 3.5}, {Start, 3.5, 4}, {Show, 6}, {End, 6, 6}}, "3.5 Secs",
         "6 Secs", "2.5 Secs", 56000, 96000, 40000, 4, 2},
        {"marks set at seconds are the buttons at that position", 10, {{StartAt, 3.5}, {EndAt, 6}}, "3.5 Secs",
         "6 Secs", "2.5 Secs", 56000, 96000, 40000, 4, 2},
        {"a start dragged keeps the end", 10, {{StartAt, 2}, {EndAt, 6}, {StartTo, 3.5}}, "3.5 Secs", "6 Secs",
         "2.5 Secs", 56000, 96000, 40000, 4, 2},
        {"nudges by a frame", 10, {{StartAt, 3.5}, {EndAt, 6}, {StartBy, -frame}, {EndBy, frame}}, "3.474 Secs",
         "6.026 Secs", "2.552 Secs", 55582.0408163265, 96417.9591836735, 40835.918367347, 3, 3},
        {"a typed end", 10, {{StartAt, 3.5}, {EndAt, 6}, {EndTo, 8.125}}, "3.5 Secs", "8.125 Secs", "4.625 Secs", 56000,
         130000, 74000, 4, 4},
        {"a selection dragged across", 10, {{StartAt, 3.5}, {Select, 1.25, 4}}, "1.25 Secs", "4 Secs", "2.75 Secs",
         20000, 64000, 44000, 1, 3},
        {"before 0 counts as 0", 10, {{StartAt, 2}, {StartTo, -0.5}}, "0 Secs", "", "", 100, {}, {}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        OpenTimed(c.duration);
        for (const Step& s : c.steps) {
            std::optional<Notice> refusal;
            switch (s.op) {
            case Show: session.ShowPosition(s.a); break;
            case Start: refusal = session.SetStart(s.a, static_cast<int>(s.b)); break;
            case End: refusal = session.SetEnd(s.a, static_cast<int>(s.b)); break;
            case StartAt: refusal = session.SetStartAt(s.a); break;
            case EndAt: refusal = session.SetEndAt(s.a); break;
            case StartTo: refusal = session.MoveStartTo(s.a); break;
            case EndTo: refusal = session.MoveEndTo(s.a); break;
            case StartBy: refusal = session.MoveStartBy(s.a); break;
            case EndBy: refusal = session.MoveEndBy(s.a); break;
            case Select: refusal = session.MarkSelection(s.a, s.b); break;
            case Reset: session.ResetForOpen(); break;
            }
            ASSERT_FALSE(refusal) << Text(refusal);
        }
        EXPECT_EQ(CuttingSession::MarkText(session.Start()), c.start);
        EXPECT_EQ(CuttingSession::MarkText(session.End()), c.end);
        EXPECT_EQ(CuttingSession::MarkText(session.Length()), c.length);
        EXPECT_EQ(session.CurStart(), c.curStart);
        if (c.curEnd) {  // an unset end keeps the byte position it had
            EXPECT_EQ(session.CurEnd(), c.curEnd);
            EXPECT_EQ(session.CurDuration(), c.curDuration);
        }
        EXPECT_EQ(session.Band().start, c.bandStart);
        EXPECT_EQ(session.Band().length, c.bandLength);
    }
}

TEST_F(SessionTest, ChecksAndMovesRefuseInTheirOrderWithTheirMessages) {
    EXPECT_EQ(Text(session.CheckFileOpen()), kOpenFirst);
    EXPECT_EQ(Text(session.SetStart(1, 1)), kOpenFirst);
    EXPECT_EQ(Text(session.MoveStartBy(0.1)), kOpenFirst);
    session.Open(source, "a.b.mp3");
    EXPECT_EQ(Text(session.SetEnd(1, 1)), kStartFirst);
    // Before this file's rate is known no mark is taken.
    const auto wait = session.SetStart(1, 1);
    EXPECT_EQ(Text(wait), kWaitForLength);
    EXPECT_EQ(wait->icon, NoticeIcon::Exclamation);
    EXPECT_FALSE(session.Start().set);
    EXPECT_EQ(Text(session.MarkSelection(1, 3)), kWaitForLength);
    // A file with no MPEG audio never gets a length: say so instead of waiting.
    session.SetNoAudio(true);
    const auto none = session.MoveStartTo(1);
    EXPECT_EQ(Text(none), kNoMpegAudio);
    EXPECT_EQ(none->icon, NoticeIcon::Error);
    EXPECT_EQ(Text(session.SetStart(1, 1)), kNoMpegAudio);
    session.Open(source, "a.b.mp3");
    EXPECT_EQ(Text(session.SetStart(1, 1)), kWaitForLength) << "the next file starts afresh";
    EXPECT_FALSE(session.SetDuration(0));
    ASSERT_TRUE(session.SetDuration(10));

    EXPECT_EQ(Text(session.CheckPlaySelection()), kStartMissing);
    EXPECT_EQ(Text(session.MoveStartBy(0.1)), kStartMissing);
    EXPECT_EQ(Text(session.MoveEndTo(3)), kStartFirst);
    ASSERT_FALSE(session.SetStartAt(2));
    EXPECT_EQ(Text(session.CheckPlaySelection()), kEndMissing);
    EXPECT_EQ(Text(session.MoveEndBy(0.1)), kEndMissing);
    // An empty end counts as 0 s for the order check, which comes first.
    EXPECT_EQ(Text(session.CheckSaveSelection()), kEndBeforeStart);
    // One second, or 1.0004 s that reads as one, is too short; 1.0006 s is not.
    Mark(2, 3);
    EXPECT_EQ(Text(session.CheckPlaySelection()), kTooShort);
    EXPECT_EQ(session.CheckSaveSelection()->icon, NoticeIcon::Error);
    ASSERT_FALSE(session.SetEndAt(3.0004));
    EXPECT_EQ(Text(session.CheckPlaySelection()), kTooShort);
    ASSERT_FALSE(session.SetEndAt(3.0006));
    EXPECT_FALSE(session.CheckPlaySelection());
    EXPECT_FALSE(session.CheckSaveSelection());
    // A second start empties the end but keeps its byte position.
    Mark(0, 3.01);
    session.ShowPosition(0);
    ASSERT_FALSE(session.SetStart(0, 0));
    EXPECT_FALSE(session.End().set);
    EXPECT_EQ(session.CurEnd(), 48160.0);
    EXPECT_EQ(Text(session.CheckSaveSelection()), kEndMissing);
}

TEST_F(SessionTest, ANewFileKeepsTheOldByteMarksAndRateUntilItsOwnIsKnown) {
    OpenTimed();
    Mark(1, 4);
    session.NewSelection();
    EXPECT_FALSE(session.Band().shown);
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "1 Secs");
    session.ResetForOpen();
    session.Open(source, "a.b.mp3");
    EXPECT_FALSE(session.RateKnown());
    EXPECT_EQ(session.Rate(), 16000.0);
    EXPECT_EQ(session.CurStart(), 16000.0);
    EXPECT_FALSE(session.Start().set);
    EXPECT_EQ(session.PositionText(), "");
}

TEST_F(SessionTest, PlaySelectionPlaysFromMarkToMarkAndOnlyPlayingAcrossTheEndStopsIt) {
    OpenTimed();
    Mark(2.5, 6.75);
    EXPECT_DOUBLE_EQ(session.SelectionStartSeconds(), 2.5);
    EXPECT_DOUBLE_EQ(session.SelectionEndSeconds(), 6.75);
    const struct {
        double before, position;
        bool reached;
    } looks[] = {
        {6.0, 6.74, false}, {6.74, 6.75, true}, {6.7, 6.7499999, true},  // a player paused on the sample
        {6.7, 6.9, true},   {6.75, 6.9, false},  {3.0, 7.5, false},    // a seek past it
        {7.5, 6.8, false},  {6.4, 6.8, true},
    };
    for (const auto& look : looks)
        EXPECT_EQ(session.ReachedSelectionEnd(look.before, look.position), look.reached) << look.before << " " << look.position;
}

TEST_F(SessionTest, TheClipIsTheMarkedByteRangeAndTheEditorTagsItBeforeItIsNamed) {
    OpenTimed();
    Mark(2.5, 4);  // bytes 40000 .. 64000, 1-based
    const std::string clip = dir.file("clip.mp3");
    std::string error;
    ASSERT_TRUE(session.SaveSelection(clip, false, &error)) << error;
    const Bytes all = Pattern(160000);
    const Bytes expected(all.begin() + 39999, all.begin() + 39999 + 24000);
    EXPECT_EQ(tags.written, expected);
    EXPECT_EQ(ReadFile(clip), expected);

    tags.fail = true;
    const std::string second = dir.file("second.mp3");
    EXPECT_FALSE(session.SaveSelection(second, false, &error));
    EXPECT_NE(error.find("no room for the tags"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(second));
    EXPECT_EQ(ReadFile(source), all);
}

}  // namespace
