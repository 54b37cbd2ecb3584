#include "cutting/form1.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QFileInfo>
#include <QSignalSpy>

#include "cutting/lengthprogress.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"

namespace {

TEST_F(Form1Test, StartsWithItsCaptionsTimersAndTheDonationMessage) {
    EXPECT_EQ(form->windowTitle(), "Trimbel");
    EXPECT_EQ(form->CandyButton15->text(), "View/Change  MP3 Info");
    EXPECT_EQ(form->CandyButton2->text(), "Play Selection");
    EXPECT_EQ(form->CandyButton6->text(), "Save Selection");
    EXPECT_EQ(form->Heading->text(), "Trimbel 1.9");
    EXPECT_EQ(form->Label4->text(), "NA");
    EXPECT_EQ(form->Label15->text(), "NA");
    EXPECT_EQ(form->Slider1->TickFrequency(), 20);
    EXPECT_EQ(form->Slider1->Min(), 0);
    EXPECT_EQ(form->Slider1->Max(), 10);
    EXPECT_EQ(form->Scroller()->Text(),
              "Please donate to help us keep the software free.Click on the donate button above to donate. " + kPadding);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_FALSE(form->Timer2->isActive());
    EXPECT_FALSE(form->Timer4->isActive());
    EXPECT_FALSE(form->Timer6->isActive());
    EXPECT_EQ(form->Timer1->interval(), 100);
    EXPECT_EQ(form->Timer4->interval(), 10);
    EXPECT_EQ(form->Timer6->interval(), 1000);
}

TEST_F(Form1Test, OpenLoadsChecksHandsOverAndStartsTheTimers) {
    player.durationSeconds = 3725.4;
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    form->Label2->setText("x");
    Click(form->CandyButton1);

    EXPECT_EQ(dialogs.openFilters.at(0), "Audio Files (*.mp3)|*.mp3");
    EXPECT_EQ(form->Session().Path(), source);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"URL=" + source, "play"}));
    EXPECT_EQ(checked, std::vector<std::string>{source});
    EXPECT_EQ(tags.calls, std::vector<std::string>{"load " + source + " | song.mp3"});
    EXPECT_EQ(form->Session().FileSize(), 160000);
    EXPECT_EQ(form->Label15->text(), "01:02:05");
    EXPECT_EQ(form->Label2->text(), "");
    EXPECT_EQ(form->Label1->text(), "");
    EXPECT_EQ(form->Session().SongName(), "song.mp3");
    EXPECT_EQ(form->Scroller()->Text(), "Playing song.mp3" + kPadding);
    EXPECT_TRUE(form->Scroller()->IsVisible());
    EXPECT_TRUE(form->Timer2->isActive());
    EXPECT_TRUE(form->Timer6->isActive());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Form1Test, AFileTheAnalysisRejectsIsWarnedAboutAndStillPlayed) {
    checkResult = false;
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    Click(form->CandyButton1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Unable to load the file!");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(messages.shown[0].caption, "Trimbel");
    EXPECT_EQ(messages.shown[0].owner, form.get());
    EXPECT_EQ(player.calls.back(), "play");
    EXPECT_TRUE(form->Timer6->isActive());
}

// A file given on the command line or dropped: the save dialog then starts in its folder, as
// after choosing it in the open dialog, not wherever the program was started.
TEST_F(Form1Test, AFileOpenedWithoutTheDialogIsNotedForTheDialogs) {
    const QString path = QString::fromStdString(source);
    form->OpenFile(path);
    EXPECT_EQ(QString::fromStdString(form->Session().Path()), path);
    EXPECT_EQ(dialogs.noted, std::vector<QString>{path});
    EXPECT_TRUE(dialogs.openFilters.empty());

    // The open dialog knows its own choice; nothing more is noted.
    dialogs.opens.push_back({path, "song.mp3"});
    Click(form->CandyButton1);
    EXPECT_EQ(dialogs.noted.size(), 1u);
}

TEST_F(Form1Test, CancelledOpenResetsTheDisplaysAndStopsPlaybackButKeepsTheFile) {
    OpenTimed(source);
    MarkSelection(2.5, 4.75);
    player.calls.clear();
    player.state = MediaPlayer::kPlaying;
    form->Slider1->SetValue(4);
    Click(form->CandyButton1);  // no prepared choice: cancelled

    EXPECT_EQ(player.calls, std::vector<std::string>{"stop"});
    EXPECT_EQ(form->Slider1->Value(), 0);
    EXPECT_FALSE(form->Slider1->HasSelection());
    EXPECT_EQ(form->Label2->text(), "");
    EXPECT_EQ(form->Label4->text(), "");
    EXPECT_EQ(form->Session().Path(), source);
    EXPECT_TRUE(form->RateKnown());
}

TEST_F(Form1Test, DurationTickDerivesTheRateOnlyOnceTheDurationIsKnown) {
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    Click(form->CandyButton1);
    EXPECT_EQ(form->Label15->text(), "00:00:00");
    form->Timer6_Timer();
    EXPECT_TRUE(form->Timer6->isActive());
    EXPECT_FALSE(form->Session().Rate().has_value());
    EXPECT_EQ(form->Slider1->Max(), 10);

    player.durationSeconds = 12.5;  // rounds half to even: 12
    form->Timer6_Timer();
    EXPECT_FALSE(form->Timer6->isActive());
    EXPECT_EQ(form->Slider1->Max(), 12);
    EXPECT_EQ(form->Session().Rate(), 12800.0);
    EXPECT_TRUE(form->RateKnown());
    // Shown again once the length is known (large files are timed in the background).
    EXPECT_EQ(form->Label15->text(), "00:00:12");
}

TEST_F(Form1Test, PositionFollowShowsTheExactSecondsAndMovesTheSliderWithoutSeeking) {
    OpenTimed(source);
    player.calls.clear();
    player.position = 7.3456789012345678;
    form->Timer1_Timer();
    EXPECT_EQ(form->Label1->text(), "7.34567890123457");
    EXPECT_EQ(form->Slider1->Value(), 7);

    player.position = -1;  // no position: the display keeps its text
    form->Timer1_Timer();
    EXPECT_EQ(form->Label1->text(), "7.34567890123457");
    EXPECT_EQ(form->Slider1->Value(), 0);

    player.position = 25;  // above Max (10): clamped
    form->Timer1_Timer();
    EXPECT_EQ(form->Slider1->Value(), 10);
    EXPECT_TRUE(player.calls.empty());
}

TEST_F(Form1Test, UserMovesOfTheSliderSeek) {
    OpenTimed(source);
    player.calls.clear();
    QSignalSpy spy(form->Slider1, &PositionSlider::Scroll);
    form->Slider1->SetValue(3);
    EXPECT_EQ(spy.count(), 0);
    form->Slider1->setFocus();
    QTest::keyClick(form->Slider1, Qt::Key_Right);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(player.calls, std::vector<std::string>{"seek=4.000000"});
}

TEST_F(Form1Test, PauseAtTwelvePointSevenResumesAtThirteen) {
    OpenTimed(source, 20);
    player.calls.clear();
    At(12.7, form->CandyButton5);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"seek=13.000000", "pause"}));
    EXPECT_EQ(form->Scroller()->Text(), "Paused  song.mp3" + kPadding);

    player.calls.clear();
    Click(form->CandyButton7);  // Stop while paused does nothing
    EXPECT_TRUE(player.calls.empty());
    Click(form->CandyButton5);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"seek=13.000000", "play"}));
    EXPECT_EQ(form->Scroller()->Text(), "Playing song.mp3" + kPadding);

    player.calls.clear();
    Click(form->CandyButton7);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "seek=0.000000"}));
    EXPECT_EQ(form->Slider1->Value(), 0);
    EXPECT_EQ(form->Scroller()->Text(), "STOPPEDsong.mp3" + kPadding);
}

TEST_F(Form1Test, ButtonsThatNeedAFileSayOpenFirst) {
    form->Label3->setText("kept?");
    for (QAbstractButton* b : {form->CandyButton5, form->CandyButton7, form->CandyButton2, form->CandyButton3,
                               form->CandyButton4, form->CandyButton6}) {
        Click(b);
        EXPECT_EQ(LastMessage(), "Please select a MP3 file by clicking on OPEN button") << b->text().toStdString();
        EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
        EXPECT_EQ(messages.shown.back().caption, "Trimbel");
    }
    EXPECT_EQ(form->Label3->text(), "");  // Set start empties the end display first
    EXPECT_EQ(messages.shown.size(), 6u);
    EXPECT_TRUE(player.calls.empty());

    Click(form->CandyButton15);
    EXPECT_EQ(LastMessage(), "Please select a file first by clicking on OPEN button");
    Click(form->CandyButton1);  // cancelled first open dialog
    Click(form->CandyButton15);
    EXPECT_EQ(LastMessage(), "Please select a file first by clicking on OPEN button");
    EXPECT_TRUE(tags.calls.empty());
}

TEST_F(Form1Test, ViewChangeShowsTheEditorOnTheOpenFile) {
    OpenTimed(source);
    tags.calls.clear();
    Click(form->CandyButton15);
    EXPECT_EQ(tags.calls, std::vector<std::string>{"show " + source + " | song.mp3"});
}

TEST_F(Form1Test, SetStartAtZeroMarksByteHundredAndSecondOne) {
    OpenTimed(source);
    At(0, form->CandyButton3);
    EXPECT_EQ(form->Label2->text(), "0 Secs");
    EXPECT_EQ(form->Session().CurStart(), 100.0);
    EXPECT_EQ(form->Slider1->Value(), 1);
    EXPECT_EQ(form->Slider1->SelStart(), 1);
    EXPECT_EQ(form->Slider1->SelLength(), 0);
    EXPECT_EQ(player.position, 0);
    EXPECT_EQ(form->Scroller()->Text(),
              "Selection started.Click on End selection button to end marking selection." + kPadding);
}

TEST_F(Form1Test, MarksUseThePositionAtTheClickAndDisplaysTheLastFollowedOne) {
    OpenTimed(source);
    player.position = 5;
    form->Timer1_Timer();
    player.position = 5.05;  // moved on since the last tick
    Click(form->CandyButton3);
    EXPECT_EQ(form->Label2->text(), "5 Secs");
    EXPECT_EQ(form->Session().CurStart(), 80800.0);

    At(8.25, form->CandyButton4);
    EXPECT_EQ(form->Label3->text(), "8.25 Secs");
    EXPECT_EQ(form->Label4->text(), "3.25 Secs");
    EXPECT_EQ(form->Session().CurEnd(), 132000.0);
    EXPECT_EQ(form->Session().CurDuration(), 51200.0);
    EXPECT_EQ(form->Slider1->SelStart(), 5);
    EXPECT_EQ(form->Slider1->SelLength(), 3);
    EXPECT_EQ(form->Scroller()->Text(),
              "  Selection Ended. press ` Save selection ` button to save the clip .Press PLAY SELECTION button "
              "to play the selected song." + kPadding);
}

TEST_F(Form1Test, AnEndBeforeTheStartGivesANegativeLengthAndAnOrderedBand) {
    OpenTimed(source);
    MarkSelection(7.5, 4);
    EXPECT_EQ(form->Label4->text(), "-3.5 Secs");
    EXPECT_EQ(form->Session().CurDuration(), -56000.0);
    EXPECT_EQ(form->Slider1->SelStart(), 4);
    EXPECT_EQ(form->Slider1->SelLength(), 4);  // whole seconds 4..8

    Click(form->CandyButton2);
    EXPECT_EQ(LastMessage(), "Please select a greater length.This small value is of no use.");
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "End time is shorter than Start time.This selection is invalid");
}

TEST_F(Form1Test, SetEndWithoutStartAsksToStartFirst) {
    OpenTimed(source);
    Click(form->CandyButton4);
    EXPECT_EQ(LastMessage(), "You need to start the selection process.First start marking by clicking on Set Start "
                             "button.Then click on set end button button");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Exclamation);
    EXPECT_FALSE(form->Session().CurEnd().has_value());
}

TEST_F(Form1Test, NewSelectionOnlyClearsTheBand) {
    OpenTimed(source);
    MarkSelection(2, 6);
    Click(form->CandyButton8);
    EXPECT_FALSE(form->Slider1->HasSelection());
    EXPECT_EQ(form->Label2->text(), "2 Secs");
    EXPECT_EQ(form->Label4->text(), "4 Secs");
    EXPECT_EQ(form->Session().CurStart(), 32000.0);
}

TEST_F(Form1Test, PlaySelectionChecksInOrderAndRefusesOneSecondExactly) {
    OpenTimed(source);
    Click(form->CandyButton2);
    EXPECT_EQ(LastMessage(), "Please select a Starting point by clicking on Set start button");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Exclamation);
    At(2, form->CandyButton3);
    Click(form->CandyButton2);
    EXPECT_EQ(LastMessage(), "Please select a End point by clicking on Set end button");
    At(3, form->CandyButton4);
    Click(form->CandyButton2);
    EXPECT_EQ(LastMessage(), "Please select a greater length.This small value is of no use.");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
    EXPECT_FALSE(form->Timer4->isActive());

    player.calls.clear();
    At(3.01, form->CandyButton4);
    size_t before = messages.shown.size();
    Click(form->CandyButton2);
    EXPECT_EQ(messages.shown.size(), before);
    // From the start mark's sample, told to end on the end mark's (3.01 s at 44.1 kHz).
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "seek sample 88200", "end sample 132741", "play"}));
    EXPECT_TRUE(form->Timer4->isActive());
}

TEST_F(Form1Test, PlaySelectionEndsOnTheEndMarkAndTheWatchIgnoresSeeks) {
    OpenTimed(source);
    MarkSelection(2, 5.5);
    const struct {
        const char* name;
        std::vector<double> played;  // the sound goes on to each, a watch tick after each
        bool stopped;
    } cases[] = {
        {"played to the mark", {2.3, 3.4, 4.6, 5.45, 5.8}, true},
        {"a seek past the end", {2.3, 7.2, 7.5, 9.0}, false},
        {"a seek back before it", {2.3, 7.2, 3.0, 4.1}, false},
    };
    for (const auto& c : cases) {
        Click(form->CandyButton2);
        ASSERT_EQ(player.endSample, 242550) << c.name;
        for (double seconds : c.played) {
            // A jump is a seek: the player forgets where to end, as the engine does.
            if (std::abs(seconds - player.position) > 1) player.setCurrentPosition(seconds);
            player.PlayOn(seconds);
            player.calls.clear();
            form->Timer4_Timer();
        }
        EXPECT_EQ(form->Timer4->isActive(), !c.stopped) << c.name;
        EXPECT_EQ(player.calls, c.stopped ? std::vector<std::string>{"stop"} : std::vector<std::string>{}) << c.name;
    }
    // Stop, then Play/Pause from the top: the player is told the end mark again, and the still
    // running watch stops it there.
    Click(form->CandyButton7);
    player.calls.clear();
    Click(form->CandyButton5);
    EXPECT_EQ(player.calls, (std::vector<std::string>{"seek=0.000000", "end sample 242550", "play"}));
    for (double seconds : {0.4, 2.0, 4.0, 5.3, 5.9}) {
        player.PlayOn(seconds);
        form->Timer4_Timer();
    }
    EXPECT_EQ(player.calls.back(), "stop");
    EXPECT_FALSE(form->Timer4->isActive());
}

TEST_F(Form1Test, ElapsedAndRemainingFollowTheSliderSecond) {
    OpenTimed(source, 10.4);
    player.position = 3.6;
    form->Timer1_Timer();
    form->Timer2_Timer();
    EXPECT_EQ(form->Label17->text(), "00:00:04");
    EXPECT_EQ(form->Label16->text(), "00:00:06");
    player.durationSeconds = 3;  // position rounded past the end
    form->Timer2_Timer();
    EXPECT_EQ(form->Label16->text(), "-00:00:01");
}

TEST_F(Form1Test, MarkingBeforeTheRateIsKnownAsksToWait) {
    OpenTimed(source);
    MarkSelection(1, 4);
    // A second file whose length is not known yet: the first file's rate must not be used.
    std::string other = dir.file("other.mp3");
    testfiles::WriteFile(other, testfiles::SilentFrames(3));
    player.durationSeconds = 0;
    dialogs.opens.push_back({QString::fromStdString(other), "other.mp3"});
    Click(form->CandyButton1);
    EXPECT_EQ(form->Session().CurStart(), 16000.0);  // the old marks stay
    At(2, form->CandyButton3);
    EXPECT_EQ(LastMessage(), "Please wait until the track length is known (it shows beside \"Total  track time\"), "
                             "then try again.");
    EXPECT_EQ(form->Label2->text(), "");
    EXPECT_EQ(form->Session().CurStart(), 16000.0);
    player.durationSeconds = 2;
    form->Timer6_Timer();
    At(0.5, form->CandyButton3);
    EXPECT_EQ(form->Session().CurStart(), 312.75);  // 1251 bytes in 2 s
}

TEST_F(Form1Test, SaveChecksRunInTheirOrder) {
    OpenTimed(source);
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "Please select a Starting point by clicking on Set start button");
    MarkSelection(2, 6);
    At(3, form->CandyButton3);  // a second Set start empties the end display
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "End time is shorter than Start time.This selection is invalid");
    EXPECT_EQ(messages.shown.back().icon, MsgIcon::Error);
    At(0, form->CandyButton3);
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "Please select a End point by clicking on Set end button");
    At(1, form->CandyButton4);
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "Please select a greater length.This small value is of no use.");
    EXPECT_TRUE(dialogs.saveDefaults.empty());
}

TEST_F(Form1Test, SaveWritesTheSelectedBytesAndHandsTheClipToTheEditor) {
    OpenTimed(source);
    MarkSelection(2.5, 4.75);
    std::string clip = dir.file("clip.mp3");
    dialogs.saves.push_back({QString::fromStdString(clip), "clip.mp3"});
    player.calls.clear();
    Click(form->CandyButton6);

    EXPECT_EQ(dialogs.saveFilters.at(0), "Audio Files (*.mp3)|*.mp3");
    EXPECT_EQ(dialogs.saveDefaults.at(0), "Trimbel_song24052024140307.mp3");
    EXPECT_FALSE(form->Scroller()->IsVisible());
    EXPECT_EQ(player.calls, std::vector<std::string>{"stop"});
    EXPECT_FALSE(form->Timer2->isActive());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "MP3 clip saved.");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(messages.shown[0].caption, "Trimbel");
    // CurStart 40000 (1-based), CurDuration 36000.
    Bytes expected(sourceBytes.begin() + 39999, sourceBytes.begin() + 39999 + 36000);
    EXPECT_EQ(testfiles::ReadFile(clip), expected);
    EXPECT_EQ(tags.calls.back(), "write");
    EXPECT_NE(tags.writtenPath, "");
    EXPECT_FALSE(std::filesystem::exists(tags.writtenPath));  // the temporary file took the clip's name
    EXPECT_EQ(testfiles::ReadFile(source), sourceBytes);
}

TEST_F(Form1Test, SaveFromSecondZeroStartsAtByteHundredAndPastTheEndStopsAtTheEnd) {
    OpenTimed(source);
    MarkSelection(0, 12);  // beyond the 10 s file
    std::string clip = dir.file("whole.mp3");
    dialogs.saves.push_back({QString::fromStdString(clip), "whole.mp3"});
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "MP3 clip saved.");
    EXPECT_EQ(testfiles::ReadFile(clip), Bytes(sourceBytes.begin() + 99, sourceBytes.end()));
}

TEST_F(Form1Test, CancelledSaveDialogSavesNothing) {
    OpenTimed(source);
    MarkSelection(2, 6);
    Click(form->CandyButton6);
    EXPECT_EQ(dialogs.saveDefaults.size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(tags.calls.size() == 1u);  // only the load at Open
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(Form1Test, SavingOverTheSourceIsRefused) {
    OpenTimed(source);
    MarkSelection(2, 6);
    dialogs.saves.push_back({QString::fromStdString(source), "song.mp3"});
    Click(form->CandyButton6);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
    EXPECT_TRUE(messages.shown[0].text.contains("cut from"));
    EXPECT_EQ(testfiles::ReadFile(source), sourceBytes);

    // Cutting on frame boundaries refuses it in the same words.
    form->CheckFrames->setChecked(true);
    dialogs.saves.push_back({QString::fromStdString(source), "song.mp3"});
    Click(form->CandyButton6);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].caption, "Error");
    EXPECT_EQ(messages.shown[1].text, messages.shown[0].text);
    EXPECT_EQ(testfiles::ReadFile(source), sourceBytes);
}

TEST_F(Form1Test, AFailedTagWriteLeavesNoClipAndTheOldFileOfThatName) {
    OpenTimed(source);
    MarkSelection(2, 6);
    std::string clip = dir.file("existing.mp3");
    testfiles::WriteFile(clip, testfiles::FromString("keep me"));
    tags.failWrite = true;
    dialogs.saves.push_back({QString::fromStdString(clip), "existing.mp3"});
    Click(form->CandyButton6);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Tag write failed: No space left on device");
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_EQ(testfiles::ReadFile(clip), testfiles::FromString("keep me"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
}

TEST_F(Form1Test, WithoutATagEditorTheClipIsStillSaved) {
    parts.tags = nullptr;
    form = std::make_unique<Form1>(parts);
    OpenTimed(source);
    MarkSelection(1, 3);
    std::string clip = dir.file("plain.mp3");
    dialogs.saves.push_back({QString::fromStdString(clip), "plain.mp3"});
    Click(form->CandyButton6);
    EXPECT_EQ(LastMessage(), "MP3 clip saved.");
    EXPECT_EQ(testfiles::ReadFile(clip).size(), 32000u);
    Click(form->CandyButton15);  // nothing to show it on, and no message either
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(Form1Test, ExitEndsTheProgram) {
    Click(form->CandyButton9);
    EXPECT_EQ(quits, 1);
}

}  // namespace

namespace {

struct FakeLengthProgress : LengthProgress {
    double LengthScanProgress() const override { return fraction; }
    double fraction = -1;
};

}  // namespace

TEST_F(Form1Test, ALongLengthMeasurementShowsInTheWaveformBandUntilItEnds) {
    FakeLengthProgress measuring;
    parts.lengthProgress = &measuring;
    Form1 window(parts);
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    measuring.fraction = 0;
    window.CandyButton1_Click();
    EXPECT_TRUE(window.LengthTimer->isActive());
    // Quiet for the first half second: a quick measurement never flashes up.
    for (int tick = 1; tick < 5; ++tick) {
        measuring.fraction = tick / 100.0;
        window.LengthTimer_Timer();
        EXPECT_EQ(window.Waveform1->Note(), "") << tick;
    }
    measuring.fraction = 0.427;
    window.LengthTimer_Timer();
    EXPECT_EQ(window.Waveform1->Note(), QString("Measuring track length\u2026 42%"));
    measuring.fraction = 1;
    window.LengthTimer_Timer();
    EXPECT_EQ(window.Waveform1->Note(), QString("Measuring track length\u2026 100%"));
    measuring.fraction = -1;
    window.LengthTimer_Timer();
    EXPECT_EQ(window.Waveform1->Note(), "");
    EXPECT_FALSE(window.LengthTimer->isActive());

    // A new file starts the quiet time again and drops the old note.
    measuring.fraction = 0.5;
    window.OpenFile(QString::fromStdString(source));
    for (int tick = 1; tick <= 5; ++tick) window.LengthTimer_Timer();
    EXPECT_EQ(window.Waveform1->Note(), QString("Measuring track length\u2026 50%"));
    window.OpenFile(QString::fromStdString(source));
    EXPECT_EQ(window.Waveform1->Note(), "");
}

TEST_F(Form1Test, WithoutALengthMeasurementNothingIsPolled) {
    OpenTimed(source);
    EXPECT_FALSE(form->LengthTimer->isActive());
    form->LengthTimer_Timer();
    EXPECT_EQ(form->Waveform1->Note(), "");
}
