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
    EXPECT_EQ(CuttingSession::MarkText(session.Start()), "0.333333333333333 Secs");
    session.ShowPosition(2.5);
    ASSERT_FALSE(session.SetEnd(2.5, 2));
    EXPECT_EQ(session.CurEnd(), 133333.333333333);
    EXPECT_EQ(session.CurDuration(), 115555.555555555);
    EXPECT_EQ(CuttingSession::MarkText(session.Length()), "2.16666666666667 Secs");
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

TEST_F(SessionTest, PlaySelectionStartsAtTheStartAndStopsInTheEndSecond) {
    OpenTimed();
    Mark(2.5, 6.75);
    EXPECT_DOUBLE_EQ(session.SelectionStartSeconds(), 2.5);
    EXPECT_FALSE(session.ReachedSelectionEnd(5.99));
    EXPECT_TRUE(session.ReachedSelectionEnd(6.0));
    EXPECT_FALSE(session.ReachedSelectionEnd(7.0));  // only that second stops it
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
