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
    EXPECT_EQ(Text(session.CheckFileOpen()), kOpenFirst);
    EXPECT_EQ(Text(session.ShowTagEditor()), kFileFirst);
    OpenTimed();
    EXPECT_EQ(session.Path(), source);
    EXPECT_EQ(session.SongName(), "a.b.mp3");
    EXPECT_EQ(session.FileSize(), 160000);
    EXPECT_EQ(session.Rate(), 16000.0);
    ASSERT_EQ(tags.calls.size(), 1u);
    EXPECT_EQ(tags.calls[0], "load " + source + " | a.b.mp3");
    EXPECT_FALSE(session.ShowTagEditor());
    EXPECT_EQ(tags.calls.back(), "show " + source + " | a.b.mp3");
    EXPECT_EQ(session.DefaultClipName(), "Trimbel_ab24052024140307.mp3");
}

TEST_F(SessionTest, NumbersAreKeptToFifteenDigitsAsTheWindowAlwaysKeptThem) {
    OpenTimed(3);  // 160000 / 3 bytes per second
    EXPECT_EQ(session.Rate(), 53333.3333333333);
    session.ShowPosition(1.0 / 3);
    ASSERT_FALSE(session.SetStart(1.0 / 3, 0));
    EXPECT_EQ(session.CurStart(), 17777.7777777778);
    // The displays and the checks go by the millisecond; the byte positions keep every digit.
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "0.333 Secs");
    session.ShowPosition(2.5);
    ASSERT_FALSE(session.SetEnd(2.5, 2));
    EXPECT_EQ(session.CurEnd(), 133333.333333333);
    EXPECT_EQ(session.CurDuration(), 115555.555555555);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "2.167 Secs");
}

TEST_F(SessionTest, MarksFollowThePositionDisplayAndThePlayerAsTheButtonsDo) {
    OpenTimed();
    // A start at 0 s is byte position 100 and puts the band at second 1.
    session.ShowPosition(0);
    ASSERT_FALSE(session.SetStart(0, 0));
    EXPECT_EQ(session.CurStart(), 100.0);
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "0 Secs");
    EXPECT_EQ(session.MarkedSliderSecond(), 1);
    EXPECT_EQ(session.Band().start, 1);
    // The display may lag the player: the seconds come from the display, the bytes from the player.
    session.ShowPosition(4.9);
    ASSERT_FALSE(session.SetEnd(5, 5));
    EXPECT_EQ(CuttingSession::MarkText(session.End()), "4.9 Secs");
    EXPECT_EQ(session.CurEnd(), 80000.0);
    EXPECT_EQ(session.Band().length, 4);

    // An end before the start: negative length, the band from the lower mark to the higher.
    Mark(6, 2.5);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "-3.5 Secs");
    EXPECT_EQ(session.CurDuration(), -56000.0);
    EXPECT_EQ(session.Band().start, 2);
    EXPECT_EQ(session.Band().length, 4);

    // A position display emptied by Open shows " Secs" and reads as 0.
    session.ResetForOpen();
    ASSERT_FALSE(session.SetStart(3, 3));
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), " Secs");
    EXPECT_EQ(session.CurStart(), 48000.0);
}

TEST_F(SessionTest, MarksSetAtSecondsEqualTheButtonsAtThatPosition) {
    OpenTimed(7);
    CuttingSession byButton(nullptr, {});
    byButton.Open(source, "a.b.mp3");
    byButton.SetDuration(7);
    for (double seconds : {0.0, 0.4, 1.26, 3.5}) {
        byButton.ShowPosition(seconds);
        ASSERT_FALSE(byButton.SetStart(seconds, static_cast<int>(std::lround(seconds))));
        ASSERT_FALSE(session.SetStartAt(seconds));
        EXPECT_EQ(session.CurStart(), byButton.CurStart()) << seconds;
        EXPECT_EQ(session.Start().seconds, byButton.Start().seconds) << seconds;
        EXPECT_EQ(session.Band().start, byButton.Band().start) << seconds;
        byButton.ShowPosition(seconds + 2.25);
        ASSERT_FALSE(byButton.SetEnd(seconds + 2.25, static_cast<int>(std::lround(seconds + 2.25))));
        ASSERT_FALSE(session.SetEndAt(seconds + 2.25));
        EXPECT_EQ(session.CurDuration(), byButton.CurDuration()) << seconds;
        EXPECT_EQ(CuttingSession::MarkText(session.Length()), CuttingSession::MarkText(byButton.Length()));
    }
}

TEST_F(SessionTest, ButtonsRefuseInTheirOrderWithTheirMessages) {
    EXPECT_EQ(Text(session.SetStart(1, 1)), kOpenFirst);
    EXPECT_EQ(Text(session.SetEnd(1, 1)), kOpenFirst);
    session.Open(source, "a.b.mp3");
    EXPECT_EQ(Text(session.SetEnd(1, 1)), kStartFirst);
    // Before this file's rate is known no mark is taken.
    const auto wait = session.SetStart(1, 1);
    EXPECT_EQ(Text(wait), kWaitForLength);
    EXPECT_EQ(wait->icon, NoticeIcon::Exclamation);
    EXPECT_FALSE(session.Start().set);
    EXPECT_FALSE(session.SetDuration(0));
    ASSERT_TRUE(session.SetDuration(10));

    EXPECT_EQ(Text(session.CheckPlaySelection()), kStartMissing);
    EXPECT_EQ(Text(session.CheckSaveSelection()), kStartMissing);
    session.ShowPosition(2);
    ASSERT_FALSE(session.SetStart(2, 2));
    EXPECT_EQ(Text(session.CheckPlaySelection()), kEndMissing);
    // An empty end counts as 0 s for the order check, which comes first.
    EXPECT_EQ(Text(session.CheckSaveSelection()), kEndBeforeStart);
    Mark(2, 3);  // exactly one second
    EXPECT_EQ(Text(session.CheckPlaySelection()), kTooShort);
    EXPECT_EQ(session.CheckSaveSelection()->icon, NoticeIcon::Error);
    Mark(2, 3.01);
    EXPECT_FALSE(session.CheckPlaySelection());
    EXPECT_FALSE(session.CheckSaveSelection());
    // A second start empties the end but keeps its byte position.
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

TEST_F(SessionTest, MarksComeBackWholeAsAnUndoWouldPutThem) {
    OpenTimed();
    Mark(1, 4);
    const SessionMarks before = session.Marks();
    Mark(2, 9);
    session.NewSelection();
    session.RestoreMarks(before);
    EXPECT_EQ(session.CurStart(), 16000.0);
    EXPECT_EQ(session.CurDuration(), 48000.0);
    EXPECT_EQ(CuttingSession::MarkText(session.End()), "4 Secs");
    EXPECT_TRUE(session.Band().shown);
    EXPECT_EQ(session.Band().length, 3);
    EXPECT_FALSE(session.CheckSaveSelection());
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

TEST_F(SessionTest, AClipShorterThanAVersion1TagIsSavedAndTagged) {
    TagEditor editor;
    CuttingSession real(&editor, {});
    real.Open(source, "a.b.mp3");
    ASSERT_TRUE(real.SetDuration(100000));  // 1.6 bytes per second
    ASSERT_FALSE(real.SetStartAt(10));
    ASSERT_FALSE(real.SetEndAt(70));       // 96 bytes
    ASSERT_FALSE(real.CheckSaveSelection());
    const std::string clip = dir.file("tiny.mp3");
    std::string error;
    ASSERT_TRUE(real.SaveSelection(clip, false, &error)) << error;
    const Bytes after = ReadFile(clip);
    const Bytes all = Pattern(160000);
    ASSERT_GT(after.size(), 96u);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 3), FromString("ID3"));
    EXPECT_EQ(Bytes(after.end() - 96, after.end()), Bytes(all.begin() + 15, all.begin() + 15 + 96));
}

}  // namespace

TEST_F(SessionTest, MarksAndLengthAreShownAndCheckedToTheMillisecond) {
    OpenTimed();
    // Positions as sample counts give them: 12.251 and 17.25 with binary noise below a millisecond.
    session.ShowPosition(540269.0 / 44100);  // 12.2509977...
    ASSERT_FALSE(session.SetStart(540269.0 / 44100, 12));
    session.ShowPosition(760725.0 / 44100);  // 17.25
    ASSERT_FALSE(session.SetEnd(760725.0 / 44100, 17));
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "12.251 Secs");
    EXPECT_EQ(CuttingSession::MarkText(session.End()), "17.25 Secs");
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "4.999 Secs");
    EXPECT_EQ(session.Length().seconds, 4.999);
    // The byte positions still come from the exact position.
    EXPECT_EQ(session.CurStart(), 196015.963718821);
    // A length of 1.0004 s reads as 1 s: refused like a length of exactly one second.
    ASSERT_FALSE(session.SetStartAt(2.0));
    ASSERT_FALSE(session.SetEndAt(3.0004));
    EXPECT_EQ(Text(session.CheckPlaySelection()), kTooShort);
    ASSERT_FALSE(session.SetEndAt(3.0006));
    EXPECT_FALSE(session.CheckPlaySelection());
}

TEST_F(SessionTest, DragsNudgesAndTypedTimesLeaveWhatTheButtonsWouldAtThosePositions) {
    OpenTimed();
    Mark(2, 6);
    // The start dragged to 3.5 s: Set start at 3.5 s, then Set end at the end's 6 s.
    CuttingSession byButton(nullptr, {});
    byButton.Open(source, "a.b.mp3");
    byButton.SetDuration(10);
    byButton.ShowPosition(3.5);
    ASSERT_FALSE(byButton.SetStart(3.5, 4));
    byButton.ShowPosition(6);
    ASSERT_FALSE(byButton.SetEnd(6, 6));
    ASSERT_FALSE(session.MoveStartTo(3.5));
    EXPECT_EQ(session.Marks(), byButton.Marks());
    EXPECT_EQ(session.CurStart(), 56000.0);
    EXPECT_EQ(session.CurEnd(), 96000.0);
    EXPECT_EQ(session.CurDuration(), 40000.0);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "2.5 Secs");
    EXPECT_EQ(session.Band().start, 4);
    EXPECT_EQ(session.Band().length, 2);

    // The end nudged forward by one MPEG frame of 1,152 samples at 44.1 kHz.
    const double frame = 1152.0 / 44100;
    ASSERT_FALSE(session.MoveEndBy(frame));
    EXPECT_EQ(CuttingSession::MarkText(session.End()), "6.026 Secs");
    EXPECT_EQ(session.CurEnd(), 96417.9591836735);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "2.526 Secs");
    // The start nudged back by a frame, then a typed end (the window parses 0:08.125).
    ASSERT_FALSE(session.MoveStartBy(-frame));
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "3.474 Secs");
    EXPECT_EQ(session.CurStart(), 55582.0408163265);
    EXPECT_EQ(CuttingSession::MarkText(session.End()), "6.026 Secs") << "the end stays where it was";
    ASSERT_FALSE(session.MoveEndTo(8.125));
    EXPECT_EQ(session.CurEnd(), 130000.0);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "4.651 Secs");

    // A selection dragged across: from 1.25 s to 4 s.
    ASSERT_FALSE(session.MarkSelection(1.25, 4.0));
    EXPECT_EQ(session.CurStart(), 20000.0);
    EXPECT_EQ(session.CurDuration(), 44000.0);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "2.75 Secs");
    EXPECT_EQ(session.Band().start, 1);
    EXPECT_EQ(session.Band().length, 3);
    // Before 0 counts as 0, which is byte position 100 as for Set start at 0.
    ASSERT_FALSE(session.MoveStartTo(-0.5));
    EXPECT_EQ(session.CurStart(), 100.0);
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "0 Secs");
}

TEST_F(SessionTest, MovesAreRefusedAsTheButtonsRefuse) {
    EXPECT_EQ(Text(session.MoveStartBy(0.1)), kOpenFirst);
    session.Open(source, "a.b.mp3");
    EXPECT_EQ(Text(session.MoveStartTo(1)), kWaitForLength);
    EXPECT_EQ(Text(session.MarkSelection(1, 3)), kWaitForLength);
    // A file with no MPEG audio never gets a length: say so instead of waiting.
    session.SetNoAudio(true);
    const auto none = session.MoveStartTo(1);
    EXPECT_EQ(Text(none), kNoMpegAudio);
    EXPECT_EQ(none->icon, NoticeIcon::Error);
    EXPECT_EQ(Text(session.SetStart(1, 1)), kNoMpegAudio);
    session.Open(source, "a.b.mp3");
    EXPECT_EQ(Text(session.SetStart(1, 1)), kWaitForLength) << "the next file starts afresh";
    ASSERT_TRUE(session.SetDuration(10));
    EXPECT_EQ(Text(session.MoveStartBy(0.1)), kStartMissing);
    EXPECT_EQ(Text(session.MoveEndBy(0.1)), kEndMissing);
    EXPECT_EQ(Text(session.MoveEndTo(3)), kStartFirst);
}

TEST_F(SessionTest, UndoAndRedoPutEveryMarkChangeBackExactly) {
    OpenTimed();
    EXPECT_FALSE(session.UndoMarks());
    Mark(2, 6);                       // two steps
    ASSERT_FALSE(session.MoveEndTo(7.5));  // a drag
    session.NewSelection();           // the band goes
    const SessionMarks last = session.Marks();

    ASSERT_TRUE(session.UndoMarks());
    EXPECT_TRUE(session.Band().shown);
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_EQ(session.CurEnd(), 96000.0);
    EXPECT_EQ(CuttingSession::MarkText(session.End()), "6 Secs");
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "4 Secs");
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_FALSE(session.End().set);
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "2 Secs");
    EXPECT_EQ(session.Band().length, 0);
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_FALSE(session.Start().set);
    EXPECT_FALSE(session.UndoMarks());

    for (int i = 0; i < 4; ++i) ASSERT_TRUE(session.RedoMarks());
    EXPECT_EQ(session.Marks(), last);
    EXPECT_FALSE(session.RedoMarks());
    // A refused change is no step; a new file starts a new history.
    ASSERT_TRUE(session.UndoMarks());
    EXPECT_EQ(Text(session.MoveEndBy(0)), "(none)");  // no change: the redo stays
    EXPECT_TRUE(session.CanRedoMarks());
    session.ResetForOpen();
    session.Open(source, "a.b.mp3");
    EXPECT_FALSE(session.CanUndoMarks());
    EXPECT_FALSE(session.CanRedoMarks());
}
