// The cutting window over its session: what each button shows and tells the player. The marks'
// rules, the refusals' order and the clip's byte range are the session's, tested without a window.
#include "cutting/form1.h"

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QFileInfo>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>

#include "cutting/lengthprogress.h"
#include "cutting/waveformview.h"
#include "form1fixture.h"

namespace {

const QString kStarted = "Selection started.Click on End selection button to end marking selection." + kPadding;
const QString kEnded = "  Selection Ended. press ` Save selection ` button to save the clip .Press PLAY SELECTION "
                       "button to play the selected song." + kPadding;

class Form1Window : public Form1Test {
protected:
    // Drags a file (or several, or a web address) over the window and drops it; true when taken.
    bool Drop(const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &drop);
        return enter.isAccepted();
    }
    QUrl Local(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }
};

TEST_F(Form1Window, StartsWithItsCaptionsTimersAndTheDonationMessage) {
    EXPECT_EQ(form->windowTitle(), "Trimbel");
    EXPECT_EQ(form->CandyButton15->text(), "View/Change  MP3 Info");
    EXPECT_EQ(form->CandyButton2->text(), "Play Selection");
    EXPECT_EQ(form->CandyButton6->text(), "Save Selection");
    EXPECT_EQ(form->Heading->text(), "Trimbel 1.9");
    EXPECT_EQ(form->Label15->text(), "NA");
    EXPECT_EQ(form->Slider1->TickFrequency(), 20);
    EXPECT_EQ(form->Slider1->Max(), 10);
    EXPECT_EQ(form->Scroller()->Text(),
              "Please donate to help us keep the software free.Click on the donate button above to donate. " + kPadding);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_FALSE(form->Timer2->isActive() || form->Timer4->isActive() || form->Timer6->isActive());
}

TEST_F(Form1Window, EveryWayOfOpeningLoadsChecksHandsOverAndStartsTheTimers) {
    const std::string text = dir.file("notes.txt");
    testfiles::WriteFile(text, testfiles::FromString("hello"));
    const QList<QUrl> refused[] = {{Local(text)}, {Local(source), Local(source)}, {QUrl("https://example.org/a.mp3")}};
    for (const QList<QUrl>& urls : refused) EXPECT_FALSE(Drop(urls)) << urls.first().toString().toStdString();
    EXPECT_TRUE(form->Session().Path().empty() && player.calls.empty() && messages.shown.empty());

    const QString path = QString::fromStdString(source);
    const struct {
        const char* route;
        std::function<void()> open;
        bool analysed;
        size_t noted;  // files noted for the dialogs' folder so far
    } routes[] = {
        {"the Open button", [&] { dialogs.opens.push_back({path, "song.mp3"}); Click(form->CandyButton1); }, true, 0},
        {"a file the analysis rejects is still played",
         [&] { dialogs.opens.push_back({path, "song.mp3"}); Click(form->CandyButton1); }, false, 0},
        {"the command line", [&] { form->OpenFile(path); }, true, 1},
        {"a drop", [&] { EXPECT_TRUE(Drop({Local(source)})); }, true, 2},
    };
    player.durationSeconds = 3725.4;
    for (const auto& r : routes) {
        SCOPED_TRACE(r.route);
        checkResult = r.analysed;
        player.calls.clear();
        checked.clear();
        tags.calls.clear();
        messages.shown.clear();
        form->Label2->setText("x");
        r.open();
        ASSERT_GE(player.calls.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(player.calls.end() - 2, player.calls.end()),
                  (std::vector<std::string>{"URL=" + source, "play"}));
        EXPECT_EQ(checked, std::vector<std::string>{source});
        EXPECT_EQ(tags.calls, std::vector<std::string>{"load " + source + " | song.mp3"});
        EXPECT_EQ(form->Session().FileSize(), 160000);
        EXPECT_EQ(form->Label15->text(), "01:02:05");
        EXPECT_EQ(form->Label2->text(), "");
        EXPECT_EQ(form->Scroller()->Text(), "Playing song.mp3" + kPadding);
        EXPECT_TRUE(form->Scroller()->IsVisible() && form->Timer2->isActive() && form->Timer6->isActive());
        EXPECT_EQ(dialogs.noted.size(), r.noted);
        if (r.analysed) {
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, "Unable to load the file!");
            EXPECT_EQ(messages.shown[0].icon, MsgIcon::Exclamation);
            EXPECT_EQ(messages.shown[0].caption, "Trimbel");
            EXPECT_EQ(messages.shown[0].owner, form.get());
        }
    }
    EXPECT_EQ(dialogs.openFilters, (std::vector<QString>(2, "Audio Files (*.mp3)|*.mp3")));
}

TEST_F(Form1Window, CancelledOpenResetsTheDisplaysAndStopsPlaybackButKeepsTheFile) {
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

TEST_F(Form1Window, DurationTickDerivesTheRateOnlyOnceTheDurationIsKnown) {
    dialogs.opens.push_back({QString::fromStdString(source), "song.mp3"});
    Click(form->CandyButton1);
    EXPECT_EQ(form->Label15->text(), "00:00:00");
    form->Timer6_Timer();
    EXPECT_TRUE(form->Timer6->isActive());
    EXPECT_FALSE(form->Session().Rate().has_value());

    player.durationSeconds = 12.5;  // rounds half to even: 12
    form->Timer6_Timer();
    EXPECT_FALSE(form->Timer6->isActive());
    EXPECT_EQ(form->Slider1->Max(), 12);
    EXPECT_EQ(form->Session().Rate(), 12800.0);
    // Shown again once the length is known (large files are timed in the background).
    EXPECT_EQ(form->Label15->text(), "00:00:12");
}

TEST_F(Form1Window, PositionFollowShowsTheExactSecondsAndTheSliderSeeksOnlyWhenMoved) {
    OpenTimed(source, 10.4);
    player.calls.clear();
    const struct {
        double position;
        QString shown;  // Label1 keeps its text when there is no position
        int slider;
    } ticks[] = {{7.3456789012345678, "7.34567890123457", 7}, {-1, "7.34567890123457", 0}, {25, "25", 10}};
    for (const auto& t : ticks) {
        player.position = t.position;
        form->Timer1_Timer();
        EXPECT_EQ(form->Label1->text(), t.shown) << t.position;
        EXPECT_EQ(form->Slider1->Value(), t.slider) << t.position;
    }
    EXPECT_TRUE(player.calls.empty());
    // Elapsed and remaining follow the slider's second.
    player.position = 3.6;
    form->Timer1_Timer();
    form->Timer2_Timer();
    EXPECT_EQ(form->Label17->text(), "00:00:04");
    EXPECT_EQ(form->Label16->text(), "00:00:06");

    QSignalSpy spy(form->Slider1, &PositionSlider::Scroll);
    form->Slider1->setFocus();
    QTest::keyClick(form->Slider1, Qt::Key_Right);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(player.calls, std::vector<std::string>{"seek=5.000000"});
}

TEST_F(Form1Window, PauseAtTwelvePointSevenResumesAtThirteen) {
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

// Each button shows its session's refusal, in the window's caption and with its icon.
TEST_F(Form1Window, ButtonsShowTheSessionsRefusalsWithTheirIcons) {
    const struct {
        const char* when;
        std::function<void()> before;
        QAbstractButton* button;
        QString text;
        MsgIcon icon;
    } refusals[] = {
        {"no file", [] {}, form->CandyButton5, "Please select a MP3 file by clicking on OPEN button", MsgIcon::Error},
        {"no file", [] {}, form->CandyButton3, "Please select a MP3 file by clicking on OPEN button", MsgIcon::Error},
        {"no file", [] {}, form->CandyButton15, "Please select a file first by clicking on OPEN button", MsgIcon::Error},
        {"no marks", [&] { OpenTimed(source); }, form->CandyButton4,
         "You need to start the selection process.First start marking by clicking on Set Start button.Then click on "
         "set end button button",
         MsgIcon::Exclamation},
        {"no marks", [] {}, form->CandyButton2, "Please select a Starting point by clicking on Set start button",
         MsgIcon::Exclamation},
        {"no end", [&] { At(2, form->CandyButton3); }, form->CandyButton2,
         "Please select a End point by clicking on Set end button", MsgIcon::Exclamation},
        {"end before start", [&] { MarkSelection(7.5, 4); }, form->CandyButton2,
         "Please select a greater length.This small value is of no use.", MsgIcon::Error},
        {"end before start", [] {}, form->CandyButton6, "End time is shorter than Start time.This selection is invalid",
         MsgIcon::Error},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(std::string(r.when) + ", " + r.button->text().toStdString());
        r.before();
        player.calls.clear();
        messages.shown.clear();
        Click(r.button);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, r.text);
        EXPECT_EQ(messages.shown[0].icon, r.icon);
        EXPECT_EQ(messages.shown[0].caption, "Trimbel");
        EXPECT_TRUE(player.calls.empty());
    }
    EXPECT_TRUE(dialogs.saveDefaults.empty());
    EXPECT_FALSE(form->Timer4->isActive());
    EXPECT_EQ(tags.calls.size(), 1u) << "only the load at Open";
}

TEST_F(Form1Window, MarksShowInTheDisplaysTheBandAndTheTicker) {
    OpenTimed(source);  // 16000 bytes per second
    const struct {
        const char* what;
        double shown, atClick;  // the position the last tick showed, and the player's at the click
        QAbstractButton* button;
        QStringList labels;     // start, end, length
        double curStart;
        int selStart, selLength;
        QString ticker;
    } steps[] = {
        {"a start at 0 s: byte 100, second 1", 0, 0, form->CandyButton3, {"0 Secs", "", ""}, 100, 1, 0, kStarted},
        {"the display's seconds, the player's bytes", 5, 5.05, form->CandyButton3, {"5 Secs", "", ""}, 80800, 5, 0,
         kStarted},
        {"an end", 8.25, 8.25, form->CandyButton4, {"5 Secs", "8.25 Secs", "3.25 Secs"}, 80800, 5, 3, kEnded},
        {"an end before a start", 4, 4, form->CandyButton4, {"5 Secs", "4 Secs", "-1 Secs"}, 80800, 4, 1, kEnded},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        player.position = s.shown;
        form->Timer1_Timer();
        player.position = s.atClick;
        Click(s.button);
        EXPECT_EQ(QStringList({form->Label2->text(), form->Label3->text(), form->Label4->text()}), s.labels);
        EXPECT_EQ(form->Session().CurStart(), s.curStart);
        EXPECT_EQ(form->Slider1->SelStart(), s.selStart);
        EXPECT_EQ(form->Slider1->SelLength(), s.selLength);
        EXPECT_EQ(form->Scroller()->Text(), s.ticker);
        EXPECT_EQ(form->Waveform1->HasSelection(), s.selLength > 0);
    }
    Click(form->CandyButton8);  // New selection clears the band only
    EXPECT_FALSE(form->Slider1->HasSelection());
    EXPECT_FALSE(form->Waveform1->HasSelection());
    EXPECT_EQ(form->Label4->text(), "-1 Secs");
}

TEST_F(Form1Window, PlaySelectionRunsFromMarkToMarkAndTheWatchStopsIt) {
    OpenTimed(source);
    MarkSelection(2, 5.5);
    const struct {
        const char* name;
        std::vector<double> played;  // the sound goes on to each, a watch tick after each
        bool stopped;
    } cases[] = {
        {"played to the mark", {2.3, 3.4, 4.6, 5.45, 5.8}, true},
        {"a seek past the end", {2.3, 7.2, 7.5, 9.0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        player.calls.clear();
        Click(form->CandyButton2);
        // From the start mark's sample, told to end on the end mark's.
        EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "seek sample 88200", "end sample 242550", "play"}));
        for (double seconds : c.played) {
            // A jump is a seek: the player forgets where to end, as the engine does.
            if (std::abs(seconds - player.position) > 1) player.setCurrentPosition(seconds);
            player.PlayOn(seconds);
            player.calls.clear();
            form->Timer4_Timer();
        }
        EXPECT_EQ(form->Timer4->isActive(), !c.stopped);
        EXPECT_EQ(player.calls, c.stopped ? std::vector<std::string>{"stop"} : std::vector<std::string>{});
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

TEST_F(Form1Window, SaveWritesTheSelectedBytesAndHandsTheClipToTheEditor) {
    OpenTimed(source);
    MarkSelection(2.5, 4.75);
    player.calls.clear();
    Click(form->CandyButton6);  // cancelled: nothing saved
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    std::string clip = dir.file("clip.mp3");
    dialogs.saves.push_back({QString::fromStdString(clip), "clip.mp3"});
    Click(form->CandyButton6);
    EXPECT_EQ(dialogs.saveFilters.at(1), "Audio Files (*.mp3)|*.mp3");
    EXPECT_EQ(dialogs.saveDefaults.at(1), "Trimbel_song24052024140307.mp3");
    EXPECT_FALSE(form->Scroller()->IsVisible());
    EXPECT_EQ(player.calls, (std::vector<std::string>{"stop", "stop"}));
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

TEST_F(Form1Window, AFailedSaveSaysWhyAndLeavesEveryFileAsItWas) {
    OpenTimed(source);
    MarkSelection(2, 6);
    const std::string existing = dir.file("existing.mp3");
    testfiles::WriteFile(existing, testfiles::FromString("keep me"));
    const struct {
        const char* what;
        bool frames, failWrite;
        const std::string& target;
        QString text;  // what the box says, in part
    } cases[] = {
        {"over the source", false, false, source, "cut from"},
        {"over the source, on frame boundaries", true, false, source, "cut from"},
        {"a failed tag write", false, true, existing, "Tag write failed: No space left on device"},
        {"a failed tag write, on frame boundaries", true, true, existing, "Tag write failed: No space left on device"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        form->CheckFrames->setChecked(c.frames);
        tags.failWrite = c.failWrite;
        messages.shown.clear();
        dialogs.saves.push_back({QString::fromStdString(c.target), "x.mp3"});
        Click(form->CandyButton6);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].caption, "Error");
        EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
        EXPECT_TRUE(messages.shown[0].text.contains(c.text)) << messages.shown[0].text.toStdString();
        EXPECT_EQ(testfiles::ReadFile(source), sourceBytes);
        EXPECT_EQ(testfiles::ReadFile(existing), testfiles::FromString("keep me"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);
    }
}

TEST_F(Form1Window, WithoutATagEditorTheClipIsStillSavedAndExitQuits) {
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
    Click(form->CandyButton9);
    EXPECT_EQ(quits, 1);
}

struct FakeLengthProgress : LengthProgress {
    double LengthScanProgress() const override { return fraction; }
    double fraction = -1;
};

TEST_F(Form1Window, ALongLengthMeasurementShowsInTheWaveformBandUntilItEnds) {
    form->LengthTimer_Timer();  // nothing to poll
    EXPECT_FALSE(form->LengthTimer->isActive());
    FakeLengthProgress measuring;
    parts.lengthProgress = &measuring;
    Form1 window(parts);
    measuring.fraction = 0;
    window.OpenFile(QString::fromStdString(source));
    EXPECT_TRUE(window.LengthTimer->isActive());
    // Quiet for the first half second: a quick measurement never flashes up.
    const struct {
        double fraction;
        QString note;
    } ticks[] = {{0.01, ""}, {0.02, ""}, {0.03, ""}, {0.04, ""}, {0.427, "Measuring track length\u2026 42%"},
                 {1, "Measuring track length\u2026 100%"}, {-1, ""}};
    for (const auto& t : ticks) {
        measuring.fraction = t.fraction;
        window.LengthTimer_Timer();
        EXPECT_EQ(window.Waveform1->Note(), t.note) << t.fraction;
    }
    EXPECT_FALSE(window.LengthTimer->isActive());

    // A new file starts the quiet time again and drops the old note.
    measuring.fraction = 0.5;
    window.OpenFile(QString::fromStdString(source));
    for (int tick = 1; tick <= 5; ++tick) window.LengthTimer_Timer();
    EXPECT_EQ(window.Waveform1->Note(), QString("Measuring track length\u2026 50%"));
    window.OpenFile(QString::fromStdString(source));
    EXPECT_EQ(window.Waveform1->Note(), "");
}

}  // namespace
